// The adapter IP configuration without a window: discovery runs until the system's
// line appears, the line is selected and "Configure IP Info..." clicked, exactly as
// a user would. Every status line is printed; when the adapter answers, its four
// addresses are printed as received, and the dialog is confirmed with the given
// values (OK), with "Set DHCP", or cancelled.
#include "tools/cli/ipconfig_command.h"

#include <cstdio>
#include <memory>

#include "app/config_brick_dialog.h"
#include "app/dialog_templates.h"
#include "app/main_dialog.h"
#include "discovery/local_addresses.h"
#include "discovery/local_system_entry.h"
#include "platform/network_tables.h"
#include "platform/socket.h"
#include "platform/text_encoding.h"
#include "tools/cli/arguments.h"
#include "tools/cli/event_loop.h"
#include "tools/cli/status_printer.h"
#include "ui/headless/headless_toolkit.h"

namespace {

constexpr long kDefaultDiscoverSeconds = 3;
constexpr char kUsage[] =
    "usage: tidewatcher ipconfig (NAME | ADDRESS) [--set IP MASK GATEWAY DNS | --dhcp] [--discover-seconds S]";

enum class Confirm { kCancel, kSet, kDhcp };

struct AddressField {
  int id;
  const char* label;
};
constexpr AddressField kFields[] = {{IDC_IP_ADDRESS, "IP Address"},
                                    {IDC_SUBNET_MASK, "Subnet Mask"},
                                    {IDC_DEFAULT_GATEWAY, "Default Gateway"},
                                    {IDC_DNS_SERVER, "DNS Server"}};
constexpr size_t kFieldCount = sizeof kFields / sizeof kFields[0];

struct IpconfigOptions {
  std::string system;  // a name (Latin-1) or a dotted address
  Confirm confirm = Confirm::kCancel;
  uint32_t addresses[kFieldCount] = {};  // as the controls take them: first number in the top byte
  long discoverSeconds = kDefaultDiscoverSeconds;
};

// The headless toolkit, noting the IP configuration dialog when it is made.
class IpconfigToolkit : public ui::HeadlessToolkit {
 public:
  std::unique_ptr<ui::WindowBackend> CreateWindow(ui::Dialog& dialog) override {
    if (auto* editor = dynamic_cast<CConfigBrickDlg*>(&dialog)) {
      editor_ = editor;
      editorShown_ = true;
    }
    return HeadlessToolkit::CreateWindow(dialog);
  }
  // Only while that dialog runs.
  CConfigBrickDlg* Editor() const { return editor_; }
  void ForgetEditor() { editor_ = nullptr; }
  bool EditorShown() const { return editorShown_; }

 private:
  CConfigBrickDlg* editor_ = nullptr;
  bool editorShown_ = false;
};

bool ParseControlAddress(const std::string& text, uint32_t* value) {
  uint32_t networkOrder = 0;
  if (!platform::ParseDottedQuad(text, &networkOrder)) return false;
  *value = HostOrderFromNetwork(networkOrder);
  return true;
}

bool TakeConfirm(Arguments& arguments, IpconfigOptions* options, bool* given) {
  if (arguments.TakeFlag("--dhcp")) {
    options->confirm = Confirm::kDhcp;
  } else if (arguments.TakeFlag("--set")) {
    options->confirm = Confirm::kSet;
    for (uint32_t& address : options->addresses) {
      std::string word;
      if (!arguments.TakeWord(&word) || !ParseControlAddress(word, &address)) return false;
    }
  } else {
    return false;
  }
  const bool first = !*given;
  *given = true;
  return first;
}

bool Parse(const std::vector<std::string>& words, IpconfigOptions* options) {
  Arguments arguments(words);
  bool systemGiven = false;
  bool confirmGiven = false;
  while (!arguments.AtEnd()) {
    std::string value;
    bool missing = false;
    const std::string next = arguments.Peek();
    if (next == "--set" || next == "--dhcp") {
      if (!TakeConfirm(arguments, options, &confirmGiven)) return false;
    } else if (arguments.TakeOption("--discover-seconds", &value, &missing)) {
      if (missing || !ParseCount(value, &options->discoverSeconds)) return false;
    } else if (!systemGiven && arguments.TakeWord(&value)) {
      options->system = platform::Utf8ToLatin1(value);
      systemGiven = true;
    } else {
      return false;
    }
  }
  return !options->system.empty();
}

// The line of the system: by the address of its entry when one was given, else by
// its name ignoring case.
int FindLine(CDiRIRUVDlg& dialog, const std::string& system) {
  uint32_t address = 0;
  const bool byAddress = platform::ParseDottedQuad(system, &address);
  for (int i = 0; i < dialog.ListGetCount(IDC_LOCAL_SYSTEMS); ++i) {
    const auto* entry = static_cast<LocalSystemEntry*>(dialog.ListGetItemData(IDC_LOCAL_SYSTEMS, i));
    if (entry == nullptr) continue;
    if (byAddress ? entry->address == address : SameNameIgnoringCase(entry->name, system)) return i;
  }
  return -1;
}

void PrintAddresses(const CConfigBrickDlg& editor) {
  for (const AddressField& field : kFields) {
    std::printf("%s: %s\n", field.label, FormatIPv4(NetworkOrderFromHost(editor.GetAddress(field.id))).c_str());
  }
  std::fflush(stdout);
}

// Runs inside the dialog's modal loop, as the user's first action there.
void AnswerEditor(IpconfigToolkit& toolkit, const IpconfigOptions& options) {
  CConfigBrickDlg* editor = toolkit.Editor();
  if (editor == nullptr) return;
  toolkit.ForgetEditor();
  PrintAddresses(*editor);
  switch (options.confirm) {
    case Confirm::kSet:
      for (size_t i = 0; i < kFieldCount; ++i) editor->UserSetAddress(kFields[i].id, options.addresses[i]);
      editor->UserClick(ui::kIdOk);
      return;
    case Confirm::kDhcp:
      editor->UserClick(IDC_SET_DHCP);
      return;
    case Confirm::kCancel:
      editor->UserClick(ui::kIdCancel);
      return;
  }
}

int Drive(CDiRIRUVDlg& dialog, IpconfigToolkit& toolkit, const IpconfigOptions& options) {
  if (!dialog.Create()) {
    PrintError("cannot build the main dialog");
    return 1;
  }
  const bool found = RunEventsUntil(toolkit, [&] { return FindLine(dialog, options.system) >= 0; },
                                    options.discoverSeconds * 1000);
  if (!found) {
    PrintError("no local system \"" + options.system + "\" answered within " +
               std::to_string(options.discoverSeconds) + " s");
    return 1;
  }
  dialog.UserSelectLine(IDC_LOCAL_SYSTEMS, FindLine(dialog, options.system));
  // Nothing is pumped before the dialog opens: this is the first thing done there.
  toolkit.Post([&toolkit, &options] { AnswerEditor(toolkit, options); });
  dialog.UserClick(IDC_CONFIGURE_IP);
  return toolkit.EditorShown() ? 0 : 1;
}

}  // namespace

int RunIpconfigCommand(const std::vector<std::string>& words) {
  IpconfigOptions options;
  if (!Parse(words, &options)) {
    PrintError(kUsage);
    return 2;
  }
  IpconfigToolkit toolkit;
  ui::SetToolkit(&toolkit);
  toolkit.SetMessageBoxHandler([](const std::string& text, const std::string&) {
    PrintError(text);
    return ui::kIdOk;
  });
  int status;
  {
    CDiRIRUVDlg dialog(options.system, "");
    dialog.SetStatusObserver(PrintStatusLine);
    status = Drive(dialog, toolkit, options);
  }
  ui::SetToolkit(nullptr);
  return status;
}
