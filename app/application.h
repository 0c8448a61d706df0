// The launcher's entry into its own logic: reads the options, creates the one
// connection manager, gives it the first adapter's hardware address, runs the
// main dialog modally and tears everything down again.
#pragma once

#include <string>

class CDiRIRUVDlg;

class CDiRIRUVApp {
 public:
  virtual ~CDiRIRUVApp() = default;
  // `commandLine`: the arguments after the program's name, joined by spaces, in
  // single-byte text. Always false: the application ends when it returns.
  virtual bool InitInstance(const std::string& commandLine);

 protected:
  // Runs the dialog modally; the headless command replaces the modal run with its
  // own driving of the dialog.
  virtual void RunMainDialog(CDiRIRUVDlg& dialog);
};

// The initial System Name and Password from the command line, and demo mode.
struct LauncherOptions {
  bool demo = false;
  std::string systemName;
  std::string password;
};
LauncherOptions ReadLauncherOptions(const std::string& commandLine);

// argv[1..] joined by single spaces and turned into single-byte text.
std::string JoinArguments(int argc, char** argv);
