// The launch sequence end to end on the local path: the headless main dialog
// against the simulated system, starting the reference client from a launcher
// folder of the test's own.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/dialog_templates.h"
#include "app/login_record.h"
#include "app/main_dialog.h"
#include "local/zk_server.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/network_tables.h"
#include "platform/socket.h"
#include "platform/socket_handover.h"
#include "protocol/message_codes.h"
#include "tools/sim/simulated_system.h"
#include "versions/version.h"
#include "ui/headless/headless_toolkit.h"

namespace {

namespace fs = std::filesystem;

// One small subnet, so "discovery is open" can be counted: 4 sockets.
class OneSmallSubnet : public platform::NetworkTables {
 public:
  bool Adapters(std::vector<platform::HardwareAddress>* out) override {
    *out = {{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}};
    return true;
  }
  bool IPv4Addresses(std::vector<platform::AddressRow>* out) override {
    return platform::ParseSubnetRows("10.255.255.1/30", out);
  }
};

std::string ReadFileText(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

class LaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    binFolder_ = GetProgramFolder();
    char pattern[] = "/tmp/tw-launch-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    folderOverride_ = std::make_unique<platform::ScopedProgramFolderOverride>(folder_);
    setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    setenv("TIDEWATCHER_CLIENT_REPORT", (folder_ + "/report.txt").c_str(), 1);
    setenv("TIDEWATCHER_CLIENT_EXIT_AFTER_MS", "1500", 1);
    unsetenv("DISPLAY");
    ui::SetToolkit(&toolkit_);
    toolkit_.SetMessageBoxHandler([this](const std::string& text, const std::string&) {
      messageBoxes_.push_back(text);
      return ui::kIdOk;
    });
    theServer = new CZkServer;
    theServer->SetHardwareAddress("00-1A-2B-3C-4D-5E");
  }
  void TearDown() override {
    dialog_.reset();
    sim_.Stop();
    delete theServer;
    theServer = nullptr;
    ui::SetToolkit(nullptr);
    demoMode = 0;
    for (const char* name : {"XDG_RUNTIME_DIR", "TIDEWATCHER_CLIENT_REPORT", "TIDEWATCHER_CLIENT_EXIT_AFTER_MS",
                             "TIDEWATCHER_CLIENT_ASK_AGAIN_MS"}) {
      unsetenv(name);
    }
    folderOverride_.reset();
    fs::remove_all(folder_);
  }

  // The sim listens on port 80 of an address of this test's own, and answers to
  // the name the user types (that address), so the name check passes.
  void StartSim(SimConfig config) {
    static int next = 1;
    const int pid = static_cast<int>(getpid());
    config.bindAddress = NetworkOrderAddress(127, static_cast<uint8_t>(pid >> 8), static_cast<uint8_t>(pid),
                                             static_cast<uint8_t>(next++));
    config.port = 80;
    typed_ = FormatIPv4(config.bindAddress);
    if (config.systemName == SimConfig().systemName) config.systemName = typed_;
    ASSERT_TRUE(sim_.Start(config)) << sim_.Error();
  }
  void InstallClient(const std::string& version, const char* executable = "CLEARSLATE.EXE") {
    const std::string versionFolder = folder_ + "/" + VersionFolderName(version);
    fs::create_directories(versionFolder);
    fs::copy_file(binFolder_ + "/5_2_738_0/CLEARSLATE.EXE", versionFolder + "/" + executable,
                  fs::copy_options::overwrite_existing);
  }
  CDiRIRUVDlg& OpenDialog(const std::string& systemName = "") {
    dialog_ = std::make_unique<CDiRIRUVDlg>(systemName.empty() ? typed_ : systemName, "secret");
    dialog_->SetStatusObserver([this](const std::string& line) { lines_.push_back(line); });
    EXPECT_TRUE(dialog_->Create());
    return *dialog_;
  }
  void WaitForClientEnd() {
    for (int i = 0; i < 2000 && dialog_->childProcess.IsSet(); ++i) {
      toolkit_.WaitForEvents(ui::MsUntilNextTimer(20));
      ui::RunDueTimers();
    }
    ASSERT_FALSE(dialog_->childProcess.IsSet());
  }
  std::string Report() const { return ReadFileText(folder_ + "/report.txt"); }
  // Waits (real time) until the client's report holds `text`.
  bool ReportShows(const std::string& text) const {
    for (int i = 0; i < 500; ++i) {
      if (Report().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  void ExpectIdleAgain() {
    EXPECT_FALSE(dialog_->launchBusy);
    EXPECT_TRUE(dialog_->IsItemEnabled(IDC_START));
    EXPECT_TRUE(dialog_->IsItemEnabled(IDC_CONFIGURE));
    EXPECT_EQ(dialog_->Discovery().GetDiscoverySockets().GetCount(), 4);
    EXPECT_FALSE(theServer->IsConnected());
  }

  std::string binFolder_;
  std::string folder_;
  std::unique_ptr<platform::ScopedProgramFolderOverride> folderOverride_;
  OneSmallSubnet tables_;
  platform::ScopedNetworkTablesOverride useTables_{&tables_};
  ui::HeadlessToolkit toolkit_;
  SimulatedSystem sim_;
  std::string typed_;
  std::unique_ptr<CDiRIRUVDlg> dialog_;
  std::vector<std::string> lines_;
  std::vector<std::string> messageBoxes_;
};

TEST_F(LaunchTest, AViewerStartsOnATypedAddressHidesTheDialogAndItComesBack) {
  SimConfig config;
  StartSim(config);
  InstallClient(config.versionText);
  CDiRIRUVDlg& dialog = OpenDialog();
  dialog.UserClick(IDC_START);
  ASSERT_TRUE(dialog.childProcess.IsSet()) << (lines_.empty() ? "" : lines_.back());
  EXPECT_FALSE(dialog.IsWindowVisible());
  EXPECT_EQ(lines_, (std::vector<std::string>{"Getting Version Information",
                                              "Remote System Version is: 5.2 Build 738.0 Rel", "Verifying System Name",
                                              "Running"}));
  // 5.2 keeps the launcher's copy of the connection while the client runs.
  EXPECT_TRUE(theServer->IsConnected());
  ASSERT_TRUE(ReportShows("tidewatcher-client: version 5.2 Build 738.0 Rel"));
  EXPECT_NE(Report().find("tidewatcher-client: system " + typed_), std::string::npos);
  EXPECT_NE(Report().find("tidewatcher-client: descriptors 0 1 2\n"), std::string::npos);  // the socket came by name

  WaitForClientEnd();
  EXPECT_TRUE(dialog.IsWindowVisible());
  EXPECT_EQ(lines_.back(), "Ready");
  ExpectIdleAgain();
  EXPECT_TRUE(sim_.Connections()[0].lastLogin.connectionType == 0);
}

TEST_F(LaunchTest, TheConfiguratorLogsInAsConfigurator) {
  SimConfig config;
  StartSim(config);
  InstallClient(config.versionText, "VEDUVUZI.EXE");
  CDiRIRUVDlg& dialog = OpenDialog();
  dialog.UserClick(IDC_CONFIGURE);
  ASSERT_TRUE(dialog.childProcess.IsSet());
  EXPECT_EQ(sim_.Connections()[0].lastLogin.connectionType, 3);
  WaitForClientEnd();
}

struct HandoverCase {
  const char* version;
  const char* descriptors;    // what the client saw before it took the socket
  bool launcherKeepsCopy;
};
void PrintTo(const HandoverCase& c, std::ostream* out) { *out << c.version; }

class HandoverTest : public LaunchTest, public ::testing::WithParamInterface<HandoverCase> {};

TEST_P(HandoverTest, TheClientsOwnQueriesAreAnsweredOverTheHandedSocket) {
  const HandoverCase& c = GetParam();
  setenv("TIDEWATCHER_CLIENT_ASK_AGAIN_MS", "300", 1);
  SimConfig config;
  config.versionText = c.version;
  StartSim(config);
  InstallClient(c.version);
  CDiRIRUVDlg& dialog = OpenDialog();
  dialog.UserClick(IDC_START);
  ASSERT_TRUE(dialog.childProcess.IsSet()) << (lines_.empty() ? "" : lines_.back());
  EXPECT_EQ(theServer->IsConnected(), c.launcherKeepsCopy);
  ASSERT_TRUE(ReportShows("tidewatcher-client: system again " + typed_)) << Report();
  EXPECT_NE(Report().find(std::string("tidewatcher-client: descriptors ") + c.descriptors + "\n"), std::string::npos)
      << Report();
  WaitForClientEnd();
  EXPECT_FALSE(theServer->IsConnected());
}

INSTANTIATE_TEST_SUITE_P(Versions, HandoverTest,
                         ::testing::Values(HandoverCase{"4.0.622.0", "0 1 2 3", false},
                                           HandoverCase{"4.0.623.0", "0 1 2 3", true},
                                           HandoverCase{"4.0.1058.0", "0 1 2 3", true},
                                           HandoverCase{"4.0.1059.0", "0 1 2", true}));

struct FailureCase {
  const char* what;
  std::function<void(SimConfig&)> configure;
  int button;
  const char* expectedLine;      // the last status line; empty: none expected
  const char* expectedBox;       // a message box; empty: none
  bool movableClock;
};
void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.what; }

class LaunchFailureTest : public LaunchTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(LaunchFailureTest, EndsWithItsLineAndLeavesTheDialogIdle) {
  const FailureCase& c = GetParam();
  SimConfig config;
  c.configure(config);
  StartSim(config);
  InstallClient("5.2 Build 738.0 Rel");
  if (std::string(c.what) == "osd mode without VUZUZ.EXE") {
    LoginRecord record;
    record.osdMode = 1;
    WriteLoginRecord(folder_ + "/LOGIN.DAT", record, false);
  }
  if (std::string(c.what) == "client cannot start") {
    std::ofstream(folder_ + "/5_2_738_0/CLEARSLATE.EXE", std::ios::trunc) << "not a program";
    chmod((folder_ + "/5_2_738_0/CLEARSLATE.EXE").c_str(), 0644);
  }
  CDiRIRUVDlg& dialog = OpenDialog();
  if (std::string(c.what) == "osd mode without VUZUZ.EXE") {
    dialog_.reset();
    dialog_ = std::make_unique<CDiRIRUVDlg>("", "");
    dialog_->SetStatusObserver([this](const std::string& line) { lines_.push_back(line); });
    ASSERT_TRUE(dialog_->Create());
    dialog_->UserEditText(IDC_SYSTEM_NAME, typed_);
    dialog_->UserEditText(IDC_PASSWORD, "secret");
  }
  std::unique_ptr<platform::MovableClock> clock;
  std::unique_ptr<platform::ScopedClockOverride> useClock;
  if (c.movableClock) {
    clock = std::make_unique<platform::MovableClock>();
    useClock = std::make_unique<platform::ScopedClockOverride>(clock.get());
  }
  if (std::string(c.what) == "connection failed") sim_.Stop();
  (void)dialog;
  dialog_->UserClick(c.button);
  EXPECT_FALSE(dialog_->childProcess.IsSet());
  if (c.expectedLine[0] != '\0') {
    ASSERT_FALSE(lines_.empty());
    EXPECT_EQ(lines_.back(), c.expectedLine);
  }
  if (c.expectedBox[0] != '\0') {
    ASSERT_EQ(messageBoxes_.size(), 1u);
    EXPECT_EQ(messageBoxes_[0], c.expectedBox);
  } else {
    EXPECT_TRUE(messageBoxes_.empty());
  }
  ExpectIdleAgain();
  EXPECT_TRUE(fs::exists(folder_ + "/LOGIN.DAT"));  // written before connecting, whatever followed
}

void Nothing(SimConfig&) {}

INSTANTIATE_TEST_SUITE_P(
    Rows, LaunchFailureTest,
    ::testing::Values(
        FailureCase{"connection failed", Nothing, IDC_START, "", "Connection Failed", true},
        FailureCase{"no version answer", [](SimConfig& c) { c.faults.silentOn.codes.insert(message_codes::VersionQuery); },
                    IDC_START, "ERROR: Can't get version info", "", true},
        FailureCase{"version too old", [](SimConfig& c) { c.versionText = "4.0.487.9"; }, IDC_START,
                    "ERROR: Version too old",
                    "ERROR: Cannot continue, the host system is running version 4.0.487.9\nPlease upgrade to "
                    "4.0.488.0 or higher and try again.",
                    false},
        // 4.0.488.0 passes the version check and fails only for want of a client.
        FailureCase{"oldest version passes", [](SimConfig& c) { c.versionText = "4.0.488.0"; }, IDC_START,
                    "ERROR: Correct Viewer version cannot be found", "", false},
        FailureCase{"no name answer",
                    [](SimConfig& c) { c.faults.silentOn.codes.insert(message_codes::SystemNameQuery); }, IDC_START,
                    "ERROR: Can't get System Name", "", true},
        FailureCase{"wrong system", [](SimConfig& c) { c.systemName = "Quorvex: 99-99-99"; }, IDC_START,
                    "ERROR: Connected to wrong system", "", false},
        FailureCase{"standalone chemistry controller", [](SimConfig& c) { c.typeInDetailsAnswer = 252; }, IDC_START,
                    "ERROR: Can't Connect to standalone Quimerix", "", false},
        FailureCase{"controller type 10",
                    [](SimConfig& c) {
                      c.typeInConfigAnswer = 10;
                      c.typeInDetailsAnswer = 10;
                    },
                    IDC_START, "ERROR: Can't Connect to Solvarin", "", false},
        FailureCase{"missing configurator", Nothing, IDC_CONFIGURE,
                    "ERROR: Correct Configurator version cannot be found", "", false},
        FailureCase{"osd mode without VUZUZ.EXE", Nothing, IDC_START, "ERROR: Correct Viewer version cannot be found",
                    "", false},
        FailureCase{"client cannot start", Nothing, IDC_START, "ERROR: Can't Start Executable", "", false}));

TEST_F(LaunchTest, TheWrongSystemNameIsCheckedAgainstTheTypedAddressText) {
  SimConfig config;
  config.systemName = "Pool";
  StartSim(config);
  OpenDialog(typed_ + ":80");
  dialog_->UserClick(IDC_START);
  EXPECT_EQ(lines_.back(), "ERROR: Connected to wrong system");
}

TEST_F(LaunchTest, LoginFileIsRewrittenBeforeConnectingEvenWhenTheConnectFails) {
  platform::MovableClock clock;
  platform::ScopedClockOverride useClock(&clock);
  CDiRIRUVDlg& dialog = OpenDialog("10.255.255.2:4000");
  dialog.UserClick(IDC_REMEMBER);
  dialog.UserClick(IDC_START);
  LoginRecord record;
  ASSERT_TRUE(ReadLoginRecord(folder_ + "/LOGIN.DAT", &record));
  EXPECT_EQ(record.systemName, "10.255.255.2:4000");
  EXPECT_EQ(record.password, "secret");
  EXPECT_EQ(record.lastAddress, 0x02FFFF0Au);
  EXPECT_EQ(messageBoxes_, (std::vector<std::string>{"Connection Failed"}));
}

// Not remembering forgets the remembered login, but only once the file says so:
// while LOGIN.DAT cannot be written, the remembered name still brings back its
// password.
TEST_F(LaunchTest, ALoginFileThatCannotBeWrittenKeepsTheRememberedLogin) {
  platform::MovableClock clock;
  platform::ScopedClockOverride useClock(&clock);
  CDiRIRUVDlg& dialog = OpenDialog("10.255.255.2:4000");
  dialog.rememberedName = "Quorvex: 12-34-56";
  dialog.rememberedPassword = "pw";
  fs::create_directory(folder_ + "/LOGIN.DAT");  // no file can be created there
  dialog.UserClick(IDC_START);
  EXPECT_EQ(dialog.rememberedName, "Quorvex: 12-34-56");
  EXPECT_EQ(dialog.rememberedPassword, "pw");

  fs::remove(folder_ + "/LOGIN.DAT");
  dialog.UserClick(IDC_START);
  EXPECT_TRUE(fs::is_regular_file(folder_ + "/LOGIN.DAT"));
  EXPECT_EQ(dialog.rememberedName, "");
  EXPECT_EQ(dialog.rememberedPassword, "");
}

TEST_F(LaunchTest, NothingStartsInsideARunningLaunch) {
  // A remote launch fails here and waits for Cancel, letting events through: its
  // discovery service (port 1 on loopback) refuses the connection.
  std::ofstream(folder_ + "/Rivavareda.dat") << "127.0.0.1:1";
  CDiRIRUVDlg& dialog = OpenDialog("Quorvex: 12-34-56");
  auto* entry = new LocalSystemEntry;
  entry->name = "Quorvex: 99-99-99";
  entry->address = 0x0100007F;
  entry->port = 1;
  const int line = dialog.LocalSystems().AddLine(entry->LineText());
  dialog.LocalSystems().SetEntry(line, entry);
  int progressDialogs = 0;
  toolkit_.Post([&] {
    dialog.UserSelectLine(IDC_LOCAL_SYSTEMS, line);  // enables the buttons again
    progressDialogs += dialog.progressDialog != nullptr;
  });
  toolkit_.Post([&] { dialog.UserClick(IDC_START); });
  toolkit_.Post([&] { dialog.UserClick(IDC_CONFIGURE); });
  toolkit_.Post([&] { dialog.UserClick(IDC_CONFIGURE_IP); });
  toolkit_.Post([&] { dialog.progressDialog->UserClick(IDC_PROGRESS_CANCEL); });
  dialog.ListSetCurSel(IDC_LOCAL_SYSTEMS, -1);
  dialog.UserClick(IDC_START);
  EXPECT_EQ(progressDialogs, 1);
  EXPECT_EQ(toolkit_.PendingCount(), 0u);
  EXPECT_EQ(std::count(lines_.begin(), lines_.end(), lines_.back()), 1);  // one launch, one failure line
  EXPECT_EQ(dialog.progressDialog, nullptr);
  EXPECT_TRUE(fs::exists("quorvex_start_Log.txt"));
  fs::remove("quorvex_start_Log.txt");
}

// Demo mode goes to the gateway program on this computer: 127.0.0.1 port 80.
TEST_F(LaunchTest, DemoModeLaunchesAgainstThisComputerAndRemembersLoopback) {
  SimConfig config;
  config.bindAddress = NetworkOrderAddress(127, 0, 0, 1);
  config.port = 80;
  config.systemName = "Quorvex: 12-34-56";
  ASSERT_TRUE(sim_.Start(config)) << sim_.Error();
  InstallClient(config.versionText);
  LoginRecord record;
  record.systemName = "Quorvex: 12-34-56";
  record.password = "secret";
  record.rememberLogin = 1;
  ASSERT_TRUE(WriteLoginRecord(folder_ + "/LOGIN.DAT", record, false));
  demoMode = 1;
  dialog_ = std::make_unique<CDiRIRUVDlg>("", "");
  ASSERT_TRUE(dialog_->Create());
  dialog_->UserClick(IDC_START);
  ASSERT_TRUE(dialog_->childProcess.IsSet());
  ASSERT_TRUE(ReadLoginRecord(folder_ + "/LOGIN.DAT", &record));
  EXPECT_EQ(record.lastAddress, 0x0100007Fu);  // 7F 00 00 01 in the file
  WaitForClientEnd();
}

TEST_F(LaunchTest, AFailedDemoConnectShowsNoMessageBox) {
  platform::MovableClock clock;
  platform::ScopedClockOverride useClock(&clock);
  demoMode = 1;
  dialog_ = std::make_unique<CDiRIRUVDlg>("Quorvex: 12-34-56", "");
  ASSERT_TRUE(dialog_->Create());
  dialog_->UserClick(IDC_START);
  EXPECT_FALSE(dialog_->childProcess.IsSet());
  EXPECT_TRUE(messageBoxes_.empty());
  EXPECT_TRUE(dialog_->IsItemEnabled(IDC_START));
}

TEST_F(LaunchTest, AnotherProcessAtTheEndpointIsRefusedAndTheClientStillGetsTheSocket) {
  SimConfig config;
  StartSim(config);
  theServer->SetPassword("secret");
  ASSERT_TRUE(theServer->ConnectLocal(sim_.Address(), sim_.Port(), 0));
  platform::SocketHandoverEndpoint endpoint;
  ASSERT_TRUE(endpoint.Listen(0x12AB34CD));
  // Someone else knocks first.
  int intruder = -1;
  ASSERT_TRUE(platform::ConnectToHandoverEndpoint(endpoint.Name(), &intruder));
  platform::ChildProcess child;
  ASSERT_TRUE(platform::StartProcess(binFolder_ + "/5_2_738_0/CLEARSLATE.EXE",
                                     {"/R", "/USER:x", "/PASS:secret", "/SOCKFILE:" + endpoint.Name(),
                                      "/TITLE:Tidewatcher"},
                                     -1, &child));
  EXPECT_TRUE(endpoint.Deliver(child, theServer->GetSocket()->GetHandle(), 10000));
  char byte = 0;
  EXPECT_EQ(platform::ReceiveSome(intruder, &byte, 1), 0);  // closed, nothing sent
  platform::CloseSocket(intruder);
  EXPECT_TRUE(ReportShows("tidewatcher-client: system " + typed_));
  int code = 0;
  for (int i = 0; i < 500 && platform::GetExitCode(child, &code) && code == platform::kStillActive; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace
