// The launch without a window: the main dialog is built and driven as a user
// would drive it, every status line is printed, and the command waits for the
// started client to end as the window's timer does.
#include "tools/cli/launch_command.h"

#include "app/dialog_templates.h"
#include "app/hardware_address.h"
#include "app/main_dialog.h"
#include "discovery/local_system_entry.h"
#include "local/zk_server.h"
#include "platform/text_encoding.h"
#include "tools/cli/arguments.h"
#include "tools/cli/event_loop.h"
#include "tools/cli/status_printer.h"
#include "ui/headless/headless_toolkit.h"

namespace {

constexpr long kDefaultDiscoverSeconds = 3;

struct LaunchOptions {
  bool configure = false;
  bool hasPassword = false;
  std::string password;
  int remember = -1;  // -1: as the dialog has it
  std::string select;
  long discoverSeconds = kDefaultDiscoverSeconds;
  std::string system;
};

bool Parse(const std::vector<std::string>& words, LaunchOptions* options) {
  Arguments arguments(words);
  while (!arguments.AtEnd()) {
    std::string value;
    bool missing = false;
    if (arguments.TakeFlag("--configure")) {
      options->configure = true;
    } else if (arguments.TakeFlag("--remember")) {
      options->remember = 1;
    } else if (arguments.TakeFlag("--no-remember")) {
      options->remember = 0;
    } else if (arguments.TakeOption("--password", &value, &missing)) {
      if (missing) return false;
      options->hasPassword = true;
      options->password = platform::Utf8ToLatin1(value);
    } else if (arguments.TakeOption("--select", &value, &missing)) {
      if (missing) return false;
      options->select = platform::Utf8ToLatin1(value);
    } else if (arguments.TakeOption("--discover-seconds", &value, &missing)) {
      if (missing || !ParseCount(value, &options->discoverSeconds)) return false;
    } else if (options->system.empty() && arguments.TakeWord(&value)) {
      options->system = platform::Utf8ToLatin1(value);
    } else {
      return false;
    }
  }
  return true;
}

int FindLine(CDiRIRUVDlg& dialog, const std::string& name) {
  for (int i = 0; i < dialog.ListGetCount(IDC_LOCAL_SYSTEMS); ++i) {
    const auto* entry = static_cast<LocalSystemEntry*>(dialog.ListGetItemData(IDC_LOCAL_SYSTEMS, i));
    if (entry != nullptr && SameNameIgnoringCase(entry->name, name)) return i;
  }
  return -1;
}

int Drive(CDiRIRUVDlg& dialog, ui::HeadlessToolkit& toolkit, const LaunchOptions& options) {
  if (!dialog.Create()) {
    PrintError("cannot build the main dialog");
    return 1;
  }
  if (!options.select.empty()) {
    const bool found = RunEventsUntil(toolkit, [&] { return FindLine(dialog, options.select) >= 0; },
                                      options.discoverSeconds * 1000);
    if (!found) {
      PrintError("no local system named \"" + options.select + "\" answered within " +
                 std::to_string(options.discoverSeconds) + " s");
      return 1;
    }
    dialog.UserSelectLine(IDC_LOCAL_SYSTEMS, FindLine(dialog, options.select));
  }
  if (options.hasPassword) dialog.UserEditText(IDC_PASSWORD, options.password);
  if (options.remember >= 0 && dialog.GetCheck(IDC_REMEMBER) != (options.remember == 1)) {
    dialog.UserClick(IDC_REMEMBER);
  }
  // Nobody sits at a headless progress dialog: after a failure its Cancel is
  // pressed at once, so the log is written and the command ends.
  toolkit.Post([&dialog] {
    if (dialog.progressDialog != nullptr) dialog.progressDialog->UserClick(IDC_PROGRESS_CANCEL);
  });
  const int button = options.configure ? IDC_CONFIGURE : IDC_START;
  // A launch is a click; the button may be disabled (a viewer already running),
  // and then the command says so instead of doing nothing.
  if (!dialog.IsItemEnabled(button)) {
    PrintError(options.configure ? "Configure is not available" : "Start is not available: a viewer is running");
    return 1;
  }
  dialog.UserClick(button);
  if (!dialog.childProcess.IsSet()) return 1;
  RunEventsUntil(toolkit, [&] { return !dialog.childProcess.IsSet(); }, -1);
  return 0;
}

}  // namespace

int RunLaunchCommand(const std::vector<std::string>& words) {
  LaunchOptions options;
  if (!Parse(words, &options)) {
    PrintError("usage: tidewatcher launch [--configure] [--password P] [--remember | --no-remember] "
               "[--select NAME] [--discover-seconds S] [SYSTEM]");
    return 2;
  }
  ui::HeadlessToolkit toolkit;
  ui::SetToolkit(&toolkit);
  toolkit.SetMessageBoxHandler([](const std::string& text, const std::string&) {
    PrintError(text);
    return ui::kIdOk;
  });
  theServer = new CZkServer;
  std::string hardwareAddress;
  if (FirstAdapterAddressText(&hardwareAddress)) theServer->SetHardwareAddress(hardwareAddress);
  int status;
  {
    CDiRIRUVDlg dialog(options.system, "");
    dialog.SetStatusObserver(PrintStatusLine);
    status = Drive(dialog, toolkit, options);
    delete theServer;
    theServer = nullptr;
  }
  ui::SetToolkit(nullptr);
  return status;
}
