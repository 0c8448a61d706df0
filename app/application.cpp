#include "app/application.h"

#include "app/command_line.h"
#include "app/hardware_address.h"
#include "app/main_dialog.h"
#include "local/zk_server.h"
#include "platform/text_encoding.h"

LauncherOptions ReadLauncherOptions(const std::string& commandLine) {
  LauncherOptions options;
  std::string value;
  options.demo = FindOption(commandLine, "/DEMO", &value);
  if (FindOption(commandLine, "/USER:", &value)) options.systemName = value;
  if (FindOption(commandLine, "/PASS:", &value)) options.password = value;
  return options;
}

std::string JoinArguments(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += argv[i];
  }
  return platform::Utf8ToLatin1(line);
}

bool CDiRIRUVApp::InitInstance(const std::string& commandLine) {
  // Sockets need no start-up on this platform, so the "Cannot Start" box never shows.
  const LauncherOptions options = ReadLauncherOptions(commandLine);
  if (options.demo) demoMode = 1;
  theServer = new CZkServer;
  std::string hardwareAddress;
  if (FirstAdapterAddressText(&hardwareAddress)) theServer->SetHardwareAddress(hardwareAddress);
  {
    CDiRIRUVDlg dialog(options.systemName, options.password);
    RunMainDialog(dialog);
    delete theServer;
    theServer = nullptr;
  }
  return false;
}

void CDiRIRUVApp::RunMainDialog(CDiRIRUVDlg& dialog) { dialog.DoModal(); }
