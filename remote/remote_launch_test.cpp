// The launch end to end on the remote path: the headless main dialog reaches a
// system by its name through the simulated discovery service, relay server and
// gateway, and starts the reference client on the adopted connection.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

#include "app/dialog_templates.h"
#include "app/log_file.h"
#include "app/main_dialog.h"
#include "local/zk_server.h"
#include "protocol/message_codes.h"
#include "remote/discovery_client.h"
#include "remote/gateway_manager.h"
#include "remote/remote_test_services.h"
#include "ui/headless/headless_toolkit.h"

namespace codes = message_codes;

namespace {

namespace fs = std::filesystem;

std::string ReadFileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

class RemoteLaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string& folder = services_.folder;
    previousFolder_ = fs::current_path();
    fs::current_path(folder);  // where the log file goes
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    setenv("TIDEWATCHER_CLIENT_REPORT", (folder + "/report.txt").c_str(), 1);
    setenv("TIDEWATCHER_CLIENT_EXIT_AFTER_MS", "1500", 1);
    setenv("TIDEWATCHER_CLIENT_ASK_AGAIN_MS", "300", 1);
    unsetenv("DISPLAY");
    ui::SetToolkit(&toolkit_);
    toolkit_.SetMessageBoxHandler([this](const std::string& text, const std::string&) {
      messageBoxes_.push_back(text);
      return ui::kIdOk;
    });
    theServer = new CZkServer;
    const std::string versionFolder = folder + "/5_2_738_0";
    fs::create_directories(versionFolder);
    fs::copy_file(binFolder_ + "/5_2_738_0/CLEARSLATE.EXE", versionFolder + "/CLEARSLATE.EXE");
  }
  void TearDown() override {
    dialog_.reset();
    delete theServer;
    theServer = nullptr;
    ui::SetToolkit(nullptr);
    for (const char* name : {"XDG_RUNTIME_DIR", "TIDEWATCHER_CLIENT_REPORT", "TIDEWATCHER_CLIENT_EXIT_AFTER_MS",
                             "TIDEWATCHER_CLIENT_ASK_AGAIN_MS"}) {
      unsetenv(name);
    }
    fs::current_path(previousFolder_);
  }

  CDiRIRUVDlg& OpenDialog(const std::string& password = "secret") {
    dialog_ = std::make_unique<CDiRIRUVDlg>(kRemoteSystemName, password);
    dialog_->SetStatusObserver([this](const std::string& line) { lines_.push_back(line); });
    EXPECT_TRUE(dialog_->Create());
    return *dialog_;
  }
  // Nobody sits at a headless progress dialog: Cancel is pressed by the first
  // event pumped while the launch waits for it.
  void PressCancelWhenAsked() {
    toolkit_.Post([this] {
      logBeforeCancel_ = fs::exists(kLogFileName);
      if (dialog_->progressDialog != nullptr) dialog_->progressDialog->UserClick(IDC_PROGRESS_CANCEL);
    });
  }
  void WaitForClientEnd() {
    for (int i = 0; i < 2000 && dialog_->childProcess.IsSet(); ++i) {
      toolkit_.WaitForEvents(ui::MsUntilNextTimer(20));
      ui::RunDueTimers();
    }
    ASSERT_FALSE(dialog_->childProcess.IsSet());
  }
  bool ReportShows(const std::string& text) const {
    for (int i = 0; i < 500; ++i) {
      if (ReadFileText(services_.folder + "/report.txt").find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  // The header, the empty line, then every status line with its time.
  void ExpectLogOfTheLines() const {
    const std::string log = ReadFileText(kLogFileName);
    std::string pattern = R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d Linkwell \(Quorvex: 12-34-56\)\r\n\r\n)";
    for (const std::string& line : lines_) {
      pattern += R"(\d\d:\d\d:\d\d )" + std::regex_replace(line, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") +
                 "\r\n";
    }
    EXPECT_TRUE(std::regex_match(log, std::regex(pattern))) << log;
  }
  std::vector<std::string> DiscoveryLines(bool relay) const {
    const std::string gateway = services_.AddressText() + ":" + std::to_string(services_.gateway.Port());
    std::vector<std::string> lines = {
        "Discovery Service: " + services_.AddressText() + ":" + std::to_string(services_.discovery.Port()),
        "Connecting to Discovery Service...",
        "Connected.",
        "Sending GATEWAY remote connection request...",
        "Remote connection authorized.",
        "Found system at " + gateway + "."};
    if (relay) {
      lines.insert(lines.end(), {"Relay mode is ON.",
                                 "Connecting to Relay Server at " + services_.AddressText() + ":7576...",
                                 "Connected to Relay Server.", "Requesting Gateway connection..."});
    } else {
      lines.push_back("Connecting to System at " + gateway + "...");
    }
    return lines;
  }

  std::string binFolder_ = GetProgramFolder();
  RemoteServices services_;
  fs::path previousFolder_;
  ui::HeadlessToolkit toolkit_;
  std::unique_ptr<CDiRIRUVDlg> dialog_;
  std::vector<std::string> lines_;
  std::vector<std::string> messageBoxes_;
  bool logBeforeCancel_ = true;
};

class RemoteLaunchSuccessTest : public RemoteLaunchTest, public ::testing::WithParamInterface<bool> {};

TEST_P(RemoteLaunchSuccessTest, TheClientStartsOnTheAdoptedConnection) {
  const bool relay = GetParam();
  services_.StartGateway();
  SimDiscoveryServiceConfig config = services_.DiscoveryConfig();
  config.systems[0].relayMode = relay ? 1 : 0;
  services_.StartDiscovery(config);
  if (relay) services_.StartRelay();
  CDiRIRUVDlg& dialog = OpenDialog();
  dialog.UserClick(IDC_START);
  ASSERT_TRUE(dialog.childProcess.IsSet()) << (lines_.empty() ? "" : lines_.back());

  std::vector<std::string> expected = DiscoveryLines(relay);
  expected.insert(expected.end(), {"Connected to System, logging in...", "Connection to System OK.",
                                   "Getting Version Information...", "Remote System Version is: 5.2 Build 738.0 Rel.",
                                   "Verifying System Name", "Running"});
  EXPECT_EQ(lines_, expected);
  EXPECT_EQ(dialog.progressDialog, nullptr);
  ExpectLogOfTheLines();  // written at once after a success
  EXPECT_TRUE(messageBoxes_.empty());

  // The client's own questions travel over the same connection, through the relay
  // when there is one.
  ASSERT_TRUE(ReportShows("tidewatcher-client: system again Quorvex: 12-34-56"));
  EXPECT_EQ(services_.gateway.ConnectionCount(), 1u);
  for (const ReceivedRequest& request : services_.gateway.RequestsWithCode(codes::SystemNameQuery)) {
    EXPECT_EQ(request.connection, 0u);
  }
  EXPECT_GE(services_.gateway.RequestsWithCode(codes::SystemNameQuery).size(), 3u);  // ours and the client's two
  WaitForClientEnd();
  EXPECT_FALSE(theServer->IsConnected());
}

INSTANTIATE_TEST_SUITE_P(Paths, RemoteLaunchSuccessTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& path) { return path.param ? "Relayed" : "Direct"; });

struct FailureCase {
  const char* what;
  std::function<void(RemoteServices&, SimConfig&, SimDiscoveryServiceConfig&)> configure;
  const char* password;
  bool pacedClock;
  const char* line;  // the last status line
};
void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.what; }

class RemoteLaunchFailureTest : public RemoteLaunchTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(RemoteLaunchFailureTest, EndsWithItsLineLeavesNothingAndLogsOnceCancelled) {
  const FailureCase& c = GetParam();
  SimConfig gateway;
  SimDiscoveryServiceConfig discovery;
  services_.StartGateway();
  discovery = services_.DiscoveryConfig();
  c.configure(services_, gateway, discovery);
  if (gateway.faults.silentOn.codes.count(codes::ChallengeQuery) != 0) {
    services_.gateway.Stop();
    const uint16_t port = discovery.systems.empty() ? 0 : discovery.systems[0].port;
    gateway.bindAddress = services_.Address();
    gateway.port = port;
    gateway.systemName = kRemoteSystemName;
    ASSERT_TRUE(services_.gateway.Start(gateway));
  }
  services_.StartDiscovery(discovery);
  if (std::string(c.what) == "discovery refuses") services_.discovery.Stop();
  if (std::string(c.what) == "relay silent, then direct refused") {
    services_.StartRelay(RelayFault::kSilent);
    services_.gateway.Stop();
  }
  std::unique_ptr<PacedClock> clock;
  std::unique_ptr<platform::ScopedClockOverride> useClock;
  if (c.pacedClock) {
    clock = std::make_unique<PacedClock>();
    useClock = std::make_unique<platform::ScopedClockOverride>(clock.get());
  }
  CDiRIRUVDlg& dialog = OpenDialog(c.password);
  PressCancelWhenAsked();
  dialog.UserClick(IDC_START);

  EXPECT_FALSE(dialog.childProcess.IsSet());
  ASSERT_FALSE(lines_.empty());
  EXPECT_EQ(lines_.back(), c.line);
  EXPECT_EQ(theDiscoveryClient, nullptr);
  EXPECT_EQ(theGatewayManager, nullptr);
  EXPECT_FALSE(theServer->IsConnected());
  EXPECT_TRUE(services_.GatewayConnectionsClosed());
  EXPECT_FALSE(logBeforeCancel_);
  EXPECT_EQ(dialog.progressDialog, nullptr);
  ExpectLogOfTheLines();
  EXPECT_FALSE(dialog.launchBusy);
  EXPECT_TRUE(messageBoxes_.empty());
}

void Nothing(RemoteServices&, SimConfig&, SimDiscoveryServiceConfig&) {}

INSTANTIATE_TEST_SUITE_P(
    Rows, RemoteLaunchFailureTest,
    ::testing::Values(
        FailureCase{"discovery refuses", Nothing, "secret", false,
                    "ERROR: Cannot connect to Discovery Service. Error #10061 in connect(): Connection refused.\n"},
        FailureCase{"system not found",
                    [](RemoteServices&, SimConfig&, SimDiscoveryServiceConfig& d) { d.systems.clear(); }, "secret",
                    false, "ERROR: System not found"},
        FailureCase{"lookup refused with a reason",
                    [](RemoteServices&, SimConfig&, SimDiscoveryServiceConfig& d) {
                      d.reply = LookupReply::kError;
                      d.errorText = "Account suspended";
                    },
                    "secret", false, "ERROR: Account suspended"},
        FailureCase{"answer 18001",
                    [](RemoteServices&, SimConfig&, SimDiscoveryServiceConfig& d) {
                      d.reply = LookupReply::kCode;
                      d.replyCode = 18001;
                    },
                    "secret", false, "ERROR: Unrecognized response (18001)"},
        FailureCase{"answer 40000",
                    [](RemoteServices&, SimConfig&, SimDiscoveryServiceConfig& d) {
                      d.reply = LookupReply::kCode;
                      d.replyCode = 40000;
                    },
                    "secret", false, "ERROR: Unrecognized response (-25536)"},
        FailureCase{"discovery silent for 60 s",
                    [](RemoteServices&, SimConfig&, SimDiscoveryServiceConfig& d) { d.reply = LookupReply::kSilent; },
                    "secret", true, "ERROR: Communication to Discovery Service failed"},
        FailureCase{"wrong password", Nothing, "wrong", false, "ERROR: Login rejected by Gateway"},
        FailureCase{"gateway silent for 60 s",
                    [](RemoteServices&, SimConfig& g, SimDiscoveryServiceConfig&) {
                      g.faults.silentOn.codes.insert(codes::ChallengeQuery);
                    },
                    "secret", true, "ERROR: Communication to Gateway failed"},
        FailureCase{"relay silent, then direct refused",
                    [](RemoteServices&, SimConfig&, SimDiscoveryServiceConfig& d) { d.systems[0].relayMode = 1; },
                    "secret", true, "ERROR: Cannot connect. Error #10061 in connect(): Connection refused.\n"}));

TEST_F(RemoteLaunchTest, ASilentRelayGivesWayToTheDirectAttemptAfterThirtySeconds) {
  services_.StartGateway();
  SimDiscoveryServiceConfig config = services_.DiscoveryConfig();
  config.systems[0].relayMode = 1;
  services_.StartDiscovery(config);
  services_.StartRelay(RelayFault::kSilent);
  services_.gateway.Stop();
  PacedClock clock;
  platform::ScopedClockOverride useClock(&clock);
  CDiRIRUVDlg& dialog = OpenDialog();
  PressCancelWhenAsked();
  const uint32_t start = clock.TickMs();
  dialog.UserClick(IDC_START);
  std::vector<std::string> expected = DiscoveryLines(true);
  expected.insert(expected.end(), {"Relay connection failed.",
                                   "Connecting to System at " + services_.AddressText() + ":" +
                                       std::to_string(services_.gateway.Port()) + "...",
                                   "ERROR: Cannot connect. Error #10061 in connect(): Connection refused.\n"});
  EXPECT_EQ(lines_, expected);
  EXPECT_GE(ElapsedMs(start), kRelayWaitMs);
  const std::string header = "01/05/2024 07:03:09 Linkwell (Quorvex: 12-34-56)\r\n\r\n";
  EXPECT_EQ(ReadFileText(kLogFileName).substr(0, header.size()), header);
  EXPECT_NE(ReadFileText(kLogFileName).find("\r\n07:03:09 Relay connection failed.\r\n"), std::string::npos);
}

}  // namespace
