// The reference client against the simulated system: its command lines, both ways
// of taking the socket, its own queries over a connection the test logged in the
// way the launcher does, the viewer's mutex, and how it ends.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/named_mutex.h"
#include "platform/process.h"
#include "platform/socket.h"
#include "platform/socket_handover.h"
#include "protocol/cipher.h"
#include "protocol/login.h"
#include "protocol/message_codes.h"
#include "tools/client/client_connection.h"
#include "tools/client/client_options.h"
#include "tools/sim/request_stream.h"
#include "tools/sim/simulated_system.h"

namespace codes = message_codes;

namespace {

constexpr int kExitWaitMs = 10000;
constexpr char kExitAfter[] = "TIDEWATCHER_CLIENT_EXIT_AFTER_MS";
constexpr char kAskAgain[] = "TIDEWATCHER_CLIENT_ASK_AGAIN_MS";
constexpr char kReport[] = "TIDEWATCHER_CLIENT_REPORT";

// ---- Command line ----

struct OptionsCase {
  const char* name;
  std::vector<std::string> arguments;
  bool ok;
  std::string user;
  std::string password;
  std::string title;
  int socketNumber;        // -1: the socket file form
  std::string socketFile;
};

// Test names say which case; gtest would print the bytes otherwise.
void PrintTo(const OptionsCase& c, std::ostream* out) { *out << c.name; }

class ClientOptionsTest : public ::testing::TestWithParam<OptionsCase> {};

TEST_P(ClientOptionsTest, ReadsBothFormsOfTheLine) {
  const OptionsCase& c = GetParam();
  ClientOptions options;
  std::string error;
  ASSERT_EQ(ParseClientOptions(c.arguments, &options, &error), c.ok) << error;
  if (!c.ok) {
    EXPECT_FALSE(error.empty());
    return;
  }
  EXPECT_EQ(options.user, c.user);
  EXPECT_EQ(options.password, c.password);
  EXPECT_EQ(options.title, c.title);
  EXPECT_EQ(options.hasSocket, c.socketNumber >= 0);
  EXPECT_EQ(options.socketNumber, c.socketNumber);
  EXPECT_EQ(options.socketFile, c.socketFile);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ClientOptionsTest,
    ::testing::Values(
        OptionsCase{"OneArgumentPerOption",
                    {"/R", "/USER:Pool Sim", "/PASS:a/b c", "/SOCKET:3", "/TITLE:Tidewatcher"},
                    true, "Pool Sim", "a/b c", "Tidewatcher", 3, ""},
        OptionsCase{"WholeLineAsOneArgument",
                    {"/R /USER:Pool Sim /PASS:secret /SOCKFILE:\\\\.\\pipe\\0012ABCD /TITLE:Tidewatcher"},
                    true, "Pool Sim", "secret", "Tidewatcher", -1, "\\\\.\\pipe\\0012ABCD"},
        OptionsCase{"UnknownWordsIgnored", {"--verbose", "x", "/SOCKET:17", "/Z:1"}, true, "", "", "", 17, ""},
        OptionsCase{"Utf8BecomesSingleByte", {"/USER:B\xC3\xA4" "der", "/SOCKET:3"}, true, "B\xE4" "der", "", "", 3, ""},
        OptionsCase{"NoSocket", {"/R", "/USER:Pool Sim"}, false, "", "", "", -1, ""},
        OptionsCase{"BothSockets", {"/SOCKET:3", "/SOCKFILE:\\\\.\\pipe\\00000001"}, false, "", "", "", -1, ""},
        OptionsCase{"SocketNotANumber", {"/SOCKET:-3"}, false, "", "", "", -1, ""},
        OptionsCase{"EmptySocketFile", {"/SOCKFILE:"}, false, "", "", "", -1, ""}),
    [](const ::testing::TestParamInfo<OptionsCase>& caseInfo) { return std::string(caseInfo.param.name); });

TEST(ClientProgramTest, FileNameChoosesTheProgram) {
  EXPECT_EQ(ProgramFromPath("/opt/tw/5_2_738_0/CLEARSLATE.EXE"), ClientProgram::kViewer);
  EXPECT_EQ(ProgramFromPath("/opt/tw/5_2_738_0/VEDUVUZI.EXE"), ClientProgram::kConfigurator);
  EXPECT_EQ(ProgramFromPath("vuzuz.exe"), ClientProgram::kAlternativeViewer);
  EXPECT_EQ(ProgramFromPath("/usr/bin/tidewatcher-client"), ClientProgram::kViewer);
  EXPECT_TRUE(HoldsViewerMutex(ClientProgram::kAlternativeViewer));
  EXPECT_FALSE(HoldsViewerMutex(ClientProgram::kConfigurator));
}

// ---- A session logged in the way the launcher logs in ----

platform::SocketHandle LoggedInConnection(const SimulatedSystem& sim) {
  const platform::SocketHandle socket = platform::CreateTcpSocket();
  if (!platform::Connect(socket, platform::MakeSocketAddress(sim.Address(), sim.Port())) ||
      platform::SendSome(socket, kPreamble, kPreambleSize) != static_cast<long>(kPreambleSize)) {
    platform::CloseSocket(socket);
    return platform::kInvalidSocket;
  }
  ClientConnection connection(socket);
  std::string error, challenge;
  std::unique_ptr<CZkMSG> answer = connection.Ask(codes::ChallengeQuery, 1, &error);
  std::unique_ptr<CZkMSG> login;
  if (answer && answer->ReadString(&challenge)) {
    login = BuildLocalLoginQuery(kViewerConnection, kLocalLoginName, LoginResponse(challenge, sim.Config().password),
                                 "00-1A-2B-3C-4D-5E");
  }
  if (!login || !connection.Ask(*login, 2, &error)) {
    ADD_FAILURE() << "login: " << error;
    platform::CloseSocket(socket);
    return platform::kInvalidSocket;
  }
  return socket;
}

// ---- The query loop ----

struct FaultCase {
  const char* name;
  void (*apply)(SimFaults&);
  const char* error;
};

// Test names say which case; gtest would print the bytes otherwise.
void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

class ClientConnectionTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(ClientConnectionTest, FailsInsteadOfWaitingForever) {
  SimConfig config;
  GetParam().apply(config.faults);
  SimulatedSystem sim;
  ASSERT_TRUE(sim.Start(config)) << sim.Error();
  platform::MovableClock clock;
  platform::ScopedClockOverride useClock(&clock);
  const platform::SocketHandle socket = LoggedInConnection(sim);
  ASSERT_NE(socket, platform::kInvalidSocket);

  ClientConnection connection(socket);
  std::string error;
  EXPECT_EQ(connection.Ask(codes::SystemNameQuery, 0x4001, &error), nullptr);
  EXPECT_NE(error.find(GetParam().error), std::string::npos) << error;
  platform::CloseSocket(socket);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ClientConnectionTest,
    ::testing::Values(
        FaultCase{"Silence", [](SimFaults& f) { f.silentOn.codes = {codes::SystemNameQuery}; }, "no answer within 10 s"},
        FaultCase{"WrongCode", [](SimFaults& f) { f.wrongCodeOn.codes = {codes::SystemNameQuery}; }, "code 8060"},
        FaultCase{"Oversize",
                  [](SimFaults& f) {
                    f.oversizeLength.codes = {codes::SystemNameQuery};
                    f.oversizeValue = 2000001;
                  },
                  "more than 2000000 bytes"},
        FaultCase{"ClosedMidMessage", [](SimFaults& f) { f.closeMidMessage.codes = {codes::SystemNameQuery}; },
                  "closed"}),
    [](const ::testing::TestParamInfo<FaultCase>& caseInfo) { return std::string(caseInfo.param.name); });

// ---- The client as the launcher starts it ----

class ClientProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tw-client-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    reportPath_ = folder_ + "/report.txt";
    // Our own lock files, our own report, and never a window.
    setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    setenv(kReport, reportPath_.c_str(), 1);
    unsetenv("DISPLAY");
    // Nothing started here outlives a failed test by long.
    setenv(kExitAfter, "20000", 1);
  }

  void TearDown() override {
    int code = 0;
    if (client_.IsSet() && platform::GetExitCode(client_, &code) && code == platform::kStillActive) {
      ADD_FAILURE() << "the client still runs";
    }
    for (const char* name : {"XDG_RUNTIME_DIR", kReport, kExitAfter, kAskAgain}) unsetenv(name);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  void StartSim() { ASSERT_TRUE(sim_.Start(config_)) << sim_.Error(); }

  bool Start(const char* program, const std::vector<std::string>& arguments, int socket) {
    const std::string path = GetProgramFolder() + "/5_2_738_0/" + program;
    return platform::StartProcess(path, arguments, socket, &client_);
  }

  // The exit code, or -1 when it still runs after timeoutMs.
  int WaitForExit(int timeoutMs = kExitWaitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int code = platform::kStillActive;
    while (platform::GetExitCode(client_, &code) && code == platform::kStillActive &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return code == platform::kStillActive ? -1 : code;
  }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::ifstream file(reportPath_);
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
  }

  bool WaitForLine(const std::string& line, int timeoutMs = kExitWaitMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
      for (const std::string& seen : Lines()) {
        if (seen == line) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  std::string folder_;
  std::string reportPath_;
  SimConfig config_;
  SimulatedSystem sim_;
  platform::ChildProcess client_;
};

// The inherited-handle form, the launcher letting go of its own copy at once (as
// it does for old systems), and a system that sends unasked messages and answers
// for other queries first.
TEST_F(ClientProcessTest, ViewerOnDescriptor3WorksAloneAndEndsWithTheConnection) {
  for (uint16_t code : {codes::SystemNameQuery, codes::VersionQuery}) {
    config_.faults.broadcastBefore.codes.insert(code);
    config_.faults.otherIdBefore.codes.insert(code);
  }
  StartSim();
  const platform::SocketHandle socket = LoggedInConnection(sim_);
  ASSERT_NE(socket, platform::kInvalidSocket);
  setenv(kAskAgain, "300", 1);
  ASSERT_TRUE(Start("CLEARSLATE.EXE", {"/R", "/USER:Pool Sim", "/PASS:secret", "/SOCKET:3", "/TITLE:Tidewatcher"},
                    socket));
  platform::CloseSocket(socket);

  ASSERT_TRUE(WaitForLine("tidewatcher-client: system again Pool Sim")) << ::testing::PrintToString(Lines());
  EXPECT_EQ(platform::ProbeNamedMutex("ClearslateMutex", 100), platform::MutexProbe::kHeldElsewhere);
  std::vector<uint16_t> ids;
  for (const ReceivedRequest& request : sim_.Requests()) {
    if (request.code == codes::SystemNameQuery || request.code == codes::VersionQuery) ids.push_back(request.queryId);
  }
  EXPECT_EQ(ids.size(), 3u);
  for (uint16_t id : ids) {
    EXPECT_NE(id, 0);
    EXPECT_NE(id, kBroadcastQueryId);
  }

  sim_.Stop();
  EXPECT_EQ(WaitForExit(), 0);
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 7u) << ::testing::PrintToString(lines);
  EXPECT_EQ(lines[0], "tidewatcher-client: descriptors 0 1 2 3");
  EXPECT_EQ(lines[1], "tidewatcher-client: program viewer");
  EXPECT_EQ(lines[2], "tidewatcher-client: title Tidewatcher");
  EXPECT_EQ(lines[3], "tidewatcher-client: system Pool Sim");
  EXPECT_EQ(lines[4], "tidewatcher-client: version 5.2 Build 738.0 Rel");
  EXPECT_EQ(lines[6].rfind("tidewatcher-client: end connection ended", 0), 0u) << lines[6];
  EXPECT_EQ(platform::ProbeNamedMutex("ClearslateMutex", 0), platform::MutexProbe::kAcquired);
}

// The named-endpoint form, given as one whole command line, for the configurator,
// which leaves the viewer's mutex alone; the launcher keeps its copy meanwhile.
TEST_F(ClientProcessTest, ConfiguratorTakesTheSocketFromTheEndpointAndEndsOnTime) {
  StartSim();
  const platform::SocketHandle socket = LoggedInConnection(sim_);
  ASSERT_NE(socket, platform::kInvalidSocket);
  platform::SocketHandoverEndpoint endpoint;
  ASSERT_TRUE(endpoint.Listen(static_cast<uint32_t>(platform::CurrentProcessId()) << 8));
  setenv(kExitAfter, "1500", 1);
  ASSERT_TRUE(Start("VEDUVUZI.EXE", {"/R /USER:Pool Sim /PASS:secret /SOCKFILE:" + endpoint.Name() + " /TITLE:Tidewatcher"},
                    -1));
  ASSERT_TRUE(endpoint.Deliver(client_, socket, kExitWaitMs));

  ASSERT_TRUE(WaitForLine("tidewatcher-client: version 5.2 Build 738.0 Rel")) << ::testing::PrintToString(Lines());
  EXPECT_EQ(platform::ProbeNamedMutex("ClearslateMutex", 0), platform::MutexProbe::kAcquired);
  EXPECT_EQ(WaitForExit(), 0);
  platform::CloseSocket(socket);
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 6u) << ::testing::PrintToString(lines);
  EXPECT_EQ(lines[0], "tidewatcher-client: descriptors 0 1 2");
  EXPECT_EQ(lines[1], "tidewatcher-client: program configurator");
  EXPECT_EQ(lines[3], "tidewatcher-client: system Pool Sim");
  EXPECT_EQ(lines[5], "tidewatcher-client: end time elapsed");
}

struct RefusalCase {
  const char* name;
  std::vector<std::string> arguments;
  bool udpAsDescriptor3;
  int exitCode;
  const char* text;  // in the last line of the report
};

// Test names say which case; gtest would print the bytes otherwise.
void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.name; }

class ClientRefusalTest : public ClientProcessTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(ClientRefusalTest, ExitsWithItsReason) {
  const RefusalCase& c = GetParam();
  platform::SocketHandle udp = c.udpAsDescriptor3 ? platform::CreateUdpSocket() : platform::kInvalidSocket;
  ASSERT_TRUE(Start("CLEARSLATE.EXE", c.arguments, udp));
  platform::CloseSocket(udp);
  EXPECT_EQ(WaitForExit(), c.exitCode);
  const std::vector<std::string> lines = Lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find(c.text), std::string::npos) << lines.back();
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ClientRefusalTest,
    ::testing::Values(
        RefusalCase{"NoSocketOption", {"/R", "/USER:Pool Sim", "/TITLE:Tidewatcher"}, false, 2, "no socket to take"},
        RefusalCase{"SocketNotANumber", {"/SOCKET:three"}, false, 2, "needs a descriptor number"},
        RefusalCase{"NothingAtDescriptor3", {"/SOCKET:3"}, false, 1, "3 is not a connected stream socket"},
        RefusalCase{"DatagramAtDescriptor3", {"/SOCKET:3"}, true, 1, "3 is not a connected stream socket"},
        RefusalCase{"NoEndpoint", {"/SOCKFILE:\\\\.\\pipe\\7EA7E570"}, false, 1, "cannot reach the launcher's endpoint"}),
    [](const ::testing::TestParamInfo<RefusalCase>& caseInfo) { return std::string(caseInfo.param.name); });

}  // namespace
