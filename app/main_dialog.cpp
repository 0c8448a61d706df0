#include "app/main_dialog.h"

#include "app/adapter_ip_config.h"
#include "app/dialog_templates.h"
#include "app/login_record.h"
#include "app/remote_connect.h"
#include "local/zk_server.h"
#include "platform/files.h"
#include "platform/named_mutex.h"
#include "versions/version.h"
#include "versions/version_folder.h"

int demoMode = 0;

namespace {

constexpr int kMutexProbeMs = 100;
// The window ends this far below the reference control. The distance was always
// measured from the outer frame; our window rectangle is the client area, so the
// frame's bottom edge (4 px) comes off: collapsed, the window then ends where the
// "Local Systems" label begins, as it always has.
constexpr int kBelowReferencePx = 15 - 4;
constexpr char kViewerMutex[] = "ClearslateMutex";
// The launcher's own client copies, moved into its version folder at start-up.
const char* const kOwnClientFiles[] = {"CLEARSLATE.EXE", "POOLSETUP.EXE", "VEDUVUZI.EXE", "ZIP.CSV"};

}  // namespace

// The Local Systems list and the System Name field, as discovery sees them.
class CDiRIRUVDlg::ListOfSystems : public SystemList {
 public:
  explicit ListOfSystems(CDiRIRUVDlg& dialog) : dialog_(dialog) {}
  int LineCount() override { return dialog_.ListGetCount(IDC_LOCAL_SYSTEMS); }
  LocalSystemEntry* EntryAt(int index) override {
    return static_cast<LocalSystemEntry*>(dialog_.ListGetItemData(IDC_LOCAL_SYSTEMS, index));
  }
  void DeleteLine(int index) override { dialog_.ListDeleteString(IDC_LOCAL_SYSTEMS, index); }
  int AddLine(const std::string& text) override { return dialog_.ListAddString(IDC_LOCAL_SYSTEMS, text); }
  void SetEntry(int index, LocalSystemEntry* entry) override {
    dialog_.ListSetItemData(IDC_LOCAL_SYSTEMS, index, entry);
  }
  std::string ReadSystemName() override {
    dialog_.UpdateData(true);
    return dialog_.systemName;
  }
  void SelectLine(int index) override {
    dialog_.ListSetCurSel(IDC_LOCAL_SYSTEMS, index);
    dialog_.OnSelectLocalSystem();
  }
  void Repaint() override { dialog_.Invalidate(); }

 private:
  CDiRIRUVDlg& dialog_;
};

CDiRIRUVDlg::CDiRIRUVDlg(const std::string& initialSystemName, const std::string& initialPassword,
                         ui::Dialog* parent)
    : ui::Dialog(MainDialogTemplate(), parent),
      systemName(initialSystemName),
      password(initialPassword),
      systemList_(new ListOfSystems(*this)) {
  if (initialSystemName.empty()) {
    LoginRecord record;
    if (ReadLoginRecord(LoginFilePath(), &record)) {
      systemName = record.systemName;
      password = record.password;
      lastAddress = record.lastAddress;
      optionsExpanded = record.optionsExpanded;
      rememberLogin = record.rememberLogin;
      osdMode = record.osdMode;
      smallScreen = record.smallScreen;
      rememberedName = systemName;
      rememberedPassword = password;
    }
  }
  discovery_.OpenDiscoverySockets();
}

CDiRIRUVDlg::~CDiRIRUVDlg() {
  FreeListEntries();
  if (theServer != nullptr) theServer->GetSocket()->Close();
  discovery_.CloseDiscoverySockets();
  delete progressDialog;
}

SystemList& CDiRIRUVDlg::LocalSystems() { return *systemList_; }

void CDiRIRUVDlg::FreeListEntries() {
  for (int i = 0; i < ListGetCount(IDC_LOCAL_SYSTEMS); ++i) {
    delete static_cast<LocalSystemEntry*>(ListGetItemData(IDC_LOCAL_SYSTEMS, i));
    ListSetItemData(IDC_LOCAL_SYSTEMS, i, nullptr);
  }
}

void CDiRIRUVDlg::DoDataExchange(ui::DataExchange& exchange) {
  exchange.Text(IDC_SYSTEM_NAME, systemName);
  exchange.Text(IDC_PASSWORD, password);
  exchange.Check(IDC_REMEMBER, rememberLogin);
}

bool CDiRIRUVDlg::OnInitDialog() {
  ui::Dialog::OnInitDialog();
  SetItemText(IDC_VERSION, kLauncherVersionText);
  // Inverted here and back in OnOptions, which lays the window out: it opens
  // collapsed, or expanded when the remembered login says so.
  optionsExpanded = !optionsExpanded;
  OnOptions();
  if (demoMode) {
    for (int id : {IDC_SYSTEM_NAME, IDC_PASSWORD, IDC_REMEMBER, IDC_LOCAL_SYSTEMS}) EnableItem(id, false);
    EnableItem(IDC_START, true);
    EnableItem(IDC_CONFIGURE, true);
  }
  GatherOwnClients();
  SetItemText(IDC_BOTTOM_LINE, std::string("Tidewatcher Connect : ") + kLauncherVersionText);
  SetTimer(kTimerId, kTimerPeriodMs);
  return true;
}

void CDiRIRUVDlg::GatherOwnClients() {
  const std::string folder = GetProgramFolder();
  if (!CreateVersionFolder(folder, kLauncherVersionFolder)) return;
  for (const char* name : kOwnClientFiles) {
    platform::MoveFile(folder + "/" + name, folder + "/" + kLauncherVersionFolder + "/" + name);
  }
}

void CDiRIRUVDlg::OnCommand(int id, ui::Notification notification) {
  if (notification == ui::Notification::kClicked) {
    switch (id) {
      case IDC_START:
        OnStart();
        return;
      case IDC_CONFIGURE:
        OnConfigure();
        return;
      case IDC_OPTIONS:
        OnOptions();
        return;
      case IDC_CONFIGURE_IP:
        OnConfigureIpInfo();
        return;
      case IDC_HELP:
        OnSystemNameHelp();
        return;
      default:
        return;
    }
  }
  if (id == IDC_LOCAL_SYSTEMS && notification == ui::Notification::kSelectionChanged) OnSelectLocalSystem();
  if (id == IDC_SYSTEM_NAME && notification == ui::Notification::kEditChanged) OnSystemNameChange();
}

void CDiRIRUVDlg::OnOptions() {
  optionsExpanded = !optionsExpanded;
  const ui::Rect window = GetWindowRect();
  const ui::Rect reference = GetItemRect(optionsExpanded ? IDC_LOCAL_SYSTEMS : IDC_OPTIONS);
  SetWindowSize(window.Width(), reference.bottom - window.top + kBelowReferencePx);
  Invalidate();
  SetItemText(IDC_OPTIONS, optionsExpanded ? "Options <<" : "Options >>");
}

void CDiRIRUVDlg::OnConfigureIpInfo() {
  if (launchBusy) return;
  ConfigureAdapterIp(*this);
}

void CDiRIRUVDlg::OnSystemNameHelp() {
  ui::Dialog help(NameHelpDialogTemplate(), this);
  help.DoModal();
}

void CDiRIRUVDlg::OnSelectLocalSystem() {
  EnableItem(IDC_START, true);
  EnableItem(IDC_CONFIGURE, true);
  EnableItem(IDC_CONFIGURE_IP, true);
  const int selected = ListGetCurSel(IDC_LOCAL_SYSTEMS);
  if (selected < 0) return;
  const LocalSystemEntry* entry = static_cast<LocalSystemEntry*>(ListGetItemData(IDC_LOCAL_SYSTEMS, selected));
  if (entry == nullptr) return;
  systemName = entry->name;
  password = systemName == rememberedName ? rememberedPassword : std::string();
  UpdateData(false);
}


void CDiRIRUVDlg::OnSystemNameChange() {
  UpdateData(true);
  bool matched = false;
  for (int i = 0; i < ListGetCount(IDC_LOCAL_SYSTEMS); ++i) {
    const LocalSystemEntry* entry = static_cast<LocalSystemEntry*>(ListGetItemData(IDC_LOCAL_SYSTEMS, i));
    if (entry != nullptr && SameNameIgnoringCase(entry->name, systemName)) {
      ListSetCurSel(IDC_LOCAL_SYSTEMS, i);
      matched = true;
      break;
    }
  }
  if (systemName == rememberedName) {
    password = rememberedPassword;
    UpdateData(false);
  } else if (!password.empty()) {
    password.clear();
    UpdateData(false);
  }
  if (!matched) ListSetCurSel(IDC_LOCAL_SYSTEMS, -1);
}

void CDiRIRUVDlg::OnTimer(int timerId) {
  (void)timerId;
  TimerWork();
}

void CDiRIRUVDlg::TimerWork() {
  if (childProcess.IsSet()) {
    WatchChild();
    return;
  }
  if (launchBusy || demoMode) return;
  EnableItem(IDC_START, !IsViewerRunning());
  discovery_.DiscoveryStep(*systemList_);
}

bool CDiRIRUVDlg::IsViewerRunning() {
  return platform::ProbeNamedMutex(kViewerMutex, kMutexProbeMs) != platform::MutexProbe::kAcquired;
}

void CDiRIRUVDlg::StartOrConfigure(int clientKind) {
  // A click that arrives while a launch waits (its message boxes and its progress
  // dialog let events through) must not start a second one inside the first.
  if (launchBusy) return;
  discovery_.CloseDiscoverySockets();
  EnableItem(IDC_START, false);
  EnableItem(IDC_CONFIGURE, false);
  if (!Launch(clientKind)) {
    EnableItem(IDC_START, true);
    EnableItem(IDC_CONFIGURE, true);
    discovery_.OpenDiscoverySockets();
  }
}

void CDiRIRUVDlg::PostStatus(const std::string& line) {
  if (statusObserver_) statusObserver_(line);
  if (progressDialog != nullptr) progressDialog->ShowStatus(line);
}

void CDiRIRUVDlg::DestroyProgressDialog() {
  if (progressDialog == nullptr) return;
  progressDialog->DestroyWindow();
  delete progressDialog;
  progressDialog = nullptr;
}
