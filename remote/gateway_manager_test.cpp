#include "remote/gateway_manager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/clock.h"
#include "protocol/cipher.h"
#include "protocol/message_codes.h"
#include "remote/remote_test_services.h"

namespace codes = message_codes;

namespace {

TEST(RelayRequestTest, CarriesTheNameAndThePortInThirtyEightBytes) {
  const std::array<uint8_t, kRelayRequestSize> request = BuildRelayRequest("Quorvex: 12-34-56", 80);
  std::array<uint8_t, kRelayRequestSize> expected = {};
  const std::string name = "Quorvex: 12-34-56";
  std::copy(name.begin(), name.end(), expected.begin());
  expected[32] = 0x50;
  EXPECT_EQ(request, expected);
}

TEST(RelayRequestTest, ALongNameIsCutToThirtyOneCharacters) {
  const std::string name(40, 'n');
  const std::array<uint8_t, kRelayRequestSize> request = BuildRelayRequest(name, 0x1234);
  EXPECT_EQ(std::string(request.begin(), request.begin() + 32), std::string(31, 'n') + '\0');
  EXPECT_EQ(request[32], 0x34);
  EXPECT_EQ(request[33], 0x12);
}

class GatewayManagerTest : public ::testing::Test {
 protected:
  void TearDown() override { DisposeGatewayManager(true); }

  bool Connect(int32_t relayMode, const std::string& password = "secret", int32_t connectionType = 0) {
    return ConnectToGateway(kRemoteSystemName, password, services_.AddressText(), services_.gateway.Port(), relayMode,
                            connectionType, &sink_);
  }
  std::vector<std::string> LoginLines() const {
    return {"Connected to System, logging in...", "Connection to System OK.", "Getting Version Information...",
            "Remote System Version is: 5.2 Build 738.0 Rel."};
  }
  std::vector<std::string> Concat(std::vector<std::string> first, const std::vector<std::string>& second) const {
    first.insert(first.end(), second.begin(), second.end());
    return first;
  }
  std::string DirectLine() const {
    return "Connecting to System at " + services_.AddressText() + ":" + std::to_string(services_.gateway.Port()) +
           "...";
  }
  std::vector<std::string> RelayLines() const {
    return {"Connecting to Relay Server at " + services_.AddressText() + ":7576...", "Connected to Relay Server.",
            "Requesting Gateway connection..."};
  }

  RemoteServices services_;
  RecordingSink sink_;
};

TEST_F(GatewayManagerTest, ADirectConnectionLogsInWithTheRemoteFormAndReadsTheVersion) {
  services_.StartGateway();
  ASSERT_TRUE(Connect(0, "secret", 3));
  EXPECT_EQ(sink_.lines, Concat({DirectLine()}, LoginLines()));
  const CConnectionGatewayMgr& manager = *theGatewayManager;
  EXPECT_EQ(manager.versionText, "5.2 Build 738.0 Rel");
  EXPECT_EQ(manager.versionValue, 738);
  EXPECT_EQ(GetRemoteVersionText(), "5.2 Build 738.0 Rel");
  const ConnectionRecord connection = services_.gateway.Connections().at(0);
  EXPECT_EQ(connection.firstBytes, "CONNECTSERVERHOST\r\n\r\n");
  EXPECT_TRUE(connection.loggedIn);
  EXPECT_FALSE(connection.lastLogin.localForm);
  EXPECT_EQ(connection.lastLogin.loginName, kRemoteSystemName);
  EXPECT_EQ(connection.lastLogin.connectionType, 3);
  const std::vector<ReceivedRequest> requests = services_.gateway.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].code, codes::ChallengeQuery);
  EXPECT_EQ(requests[1].code, codes::LoginQuery);
  EXPECT_EQ(requests[2].code, codes::VersionQuery);
}

TEST_F(GatewayManagerTest, ThroughTheRelayTheSameExchangesRunWithoutADirectAttempt) {
  services_.StartGateway();
  services_.StartRelay();
  ASSERT_TRUE(Connect(1));
  EXPECT_EQ(sink_.lines, Concat(RelayLines(), LoginLines()));
  const std::vector<std::vector<uint8_t>> requests = services_.relay.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const std::array<uint8_t, kRelayRequestSize> sent = BuildRelayRequest(kRemoteSystemName, services_.gateway.Port());
  EXPECT_EQ(requests[0], std::vector<uint8_t>(sent.begin(), sent.end()));
  EXPECT_EQ(services_.gateway.Connections().at(0).firstBytes, "CONNECTSERVERHOST\r\n\r\n");
  EXPECT_TRUE(services_.gateway.Connections().at(0).loggedIn);
}

struct RelayFailureCase {
  const char* what;
  bool relayRuns;
  RelayFault fault;
  bool movesTheClock30s;
};
void PrintTo(const RelayFailureCase& c, std::ostream* out) { *out << c.what; }

class RelayFailureTest : public GatewayManagerTest, public ::testing::WithParamInterface<RelayFailureCase> {};

TEST_P(RelayFailureTest, FallsBackToTheDirectConnection) {
  const RelayFailureCase& c = GetParam();
  services_.StartGateway();
  if (c.relayRuns) services_.StartRelay(c.fault);
  PacedClock clock;
  platform::ScopedClockOverride useClock(&clock);
  const uint32_t start = clock.TickMs();
  ASSERT_TRUE(Connect(1));
  std::vector<std::string> expected = {"Connecting to Relay Server at " + services_.AddressText() + ":7576..."};
  if (c.relayRuns) expected = RelayLines();
  expected.push_back("Relay connection failed.");
  expected.push_back(DirectLine());
  EXPECT_EQ(sink_.lines, Concat(expected, LoginLines()));
  // The exchanges sleep 100 ms per poll on the moved clock; the relay wait adds 30 s.
  EXPECT_EQ(ElapsedMs(start) >= kRelayWaitMs, c.movesTheClock30s);
  if (c.relayRuns) {
    EXPECT_TRUE(services_.relay.WaitForClosed(1, 2000));  // not left open behind the direct one
  }
}

INSTANTIATE_TEST_SUITE_P(Relays, RelayFailureTest,
                         ::testing::Values(RelayFailureCase{"refused", false, RelayFault::kNone, false},
                                           RelayFailureCase{"silent for 30 s", true, RelayFault::kSilent, true},
                                           RelayFailureCase{"closing after the request", true, RelayFault::kClose,
                                                            true}));

TEST_F(GatewayManagerTest, NeitherRelayNorDirectGivesTheDirectReason) {
  services_.StartGateway();
  const uint16_t port = services_.gateway.Port();
  services_.gateway.Stop();
  EXPECT_FALSE(ConnectToGateway(kRemoteSystemName, "secret", services_.AddressText(), port, 1, 0, &sink_));
  EXPECT_EQ(sink_.lines.back(), "ERROR: Cannot connect. Error #10061 in connect(): Connection refused.\n");
  EXPECT_EQ(sink_.lines[1], "Relay connection failed.");
  EXPECT_EQ(std::count(sink_.lines.begin(), sink_.lines.end(), "Direct connection failed."), 0);
}

TEST_F(GatewayManagerTest, AFailedDirectConnectionSaysSo) {
  EXPECT_FALSE(ConnectToGateway(kRemoteSystemName, "secret", "10.0.0", 80, 0, 0, &sink_));
  EXPECT_EQ(sink_.lines, (std::vector<std::string>{"Connecting to System at 10.0.0:80...", "Direct connection failed.",
                                                   "ERROR: Cannot connect. Address invalid\n"}));
  ASSERT_NE(theGatewayManager, nullptr);  // stays until disposed
  EXPECT_FALSE(theGatewayManager->connected);
}

TEST_F(GatewayManagerTest, AWrongPasswordIsRejectedByTheGateway) {
  services_.StartGateway();
  EXPECT_FALSE(Connect(0, "wrong"));
  EXPECT_EQ(sink_.lines.back(), "ERROR: Login rejected by Gateway");
  EXPECT_EQ(sink_.lines.size(), 3u);
}

TEST_F(GatewayManagerTest, ASecondConnectWhileAManagerExistsIsRefusedSilently) {
  services_.StartGateway();
  ASSERT_TRUE(Connect(0));
  const size_t lines = sink_.lines.size();
  EXPECT_FALSE(Connect(0));
  EXPECT_EQ(sink_.lines.size(), lines);
  EXPECT_EQ(GetGatewayError(), "Previous instance of CConnectionGatewayMgr is not disposed");
  EXPECT_EQ(services_.gateway.ConnectionCount(), 1u);
}

TEST_F(GatewayManagerTest, DisposingWithoutClosingLeavesTheConnectionOpen) {
  services_.StartGateway();
  ASSERT_TRUE(Connect(0));
  const platform::SocketHandle handle = theGatewayManager->socket->handle;
  DisposeGatewayManager(false);
  EXPECT_EQ(theGatewayManager, nullptr);
  EXPECT_EQ(GetGatewayError(), "No Instance created");
  EXPECT_FALSE(services_.gateway.Connections().at(0).closed);
  platform::CloseSocket(handle);
  EXPECT_TRUE(services_.GatewayConnectionsClosed());
}

TEST_F(GatewayManagerTest, ASilentGatewayIsGivenUpAfterSixtySeconds) {
  SimConfig config;
  config.faults.silentOn.codes.insert(codes::ChallengeQuery);
  services_.StartGateway(config);
  PacedClock clock;
  platform::ScopedClockOverride useClock(&clock);
  const uint32_t start = clock.TickMs();
  EXPECT_FALSE(Connect(0));
  EXPECT_EQ(sink_.lines.back(), "ERROR: Communication to Gateway failed");
  // The pass that finds 60 s exceeded still ends with its pause.
  EXPECT_GT(ElapsedMs(start), 60000u);
  EXPECT_LE(ElapsedMs(start), 60200u);
}

// What a gateway sends that the simulated system never does.
class ScriptedGatewayTest : public GatewayManagerTest {
 protected:
  bool ConnectTo(const ScriptedGateway& gateway) {
    return ConnectToGateway(kRemoteSystemName, "secret", services_.AddressText(), gateway.Port(), 0, 0, &sink_);
  }
  static std::vector<std::vector<uint8_t>> Challenge() {
    return {StringMessage(codes::ChallengeAnswer, "0123456789ABCDEF")};
  }
  static std::vector<std::vector<uint8_t>> Accept() { return {WireMessage(0, codes::LoginAnswer, {})}; }
};

TEST_F(ScriptedGatewayTest, AnotherMessageBeforeTheChallengeIsPassedOver) {
  std::string challengeUsed;
  std::array<uint8_t, 16> responseSeen = {};
  ScriptedGateway gateway([&](const CZkMSG& request) -> std::vector<std::vector<uint8_t>> {
    switch (request.GetCode()) {
      case codes::ChallengeQuery:
        return {StringMessage(12000, "a notice"), StringMessage(codes::ChallengeAnswer, "the challenge")};
      case codes::LoginQuery: {
        std::unique_ptr<CZkMSG> login = request.Clone();
        login->ReadInt();
        login->ReadInt();
        login->ReadString(nullptr);
        login->ReadInt();
        for (uint8_t& byte : responseSeen) login->ReadByte(&byte);
        return Accept();
      }
      case codes::VersionQuery: {
        const int32_t value = 1059;
        return {StringMessage(codes::VersionAnswer, "4.0.1059.0", &value)};
      }
    }
    return {};
  });
  ASSERT_TRUE(ConnectTo(gateway));
  EXPECT_EQ(responseSeen, LoginResponse("the challenge", "secret"));
  EXPECT_EQ(theGatewayManager->versionValue, 1059);
}

TEST_F(ScriptedGatewayTest, AVersionAnswerWithOnlyTheTextLeavesTheValueAtMinusOne) {
  ScriptedGateway gateway([](const CZkMSG& request) -> std::vector<std::vector<uint8_t>> {
    if (request.GetCode() == codes::ChallengeQuery) return Challenge();
    if (request.GetCode() == codes::LoginQuery) return Accept();
    if (request.GetCode() == codes::VersionQuery) return {StringMessage(codes::VersionAnswer, "4.0.700.0")};
    return {};
  });
  ASSERT_TRUE(ConnectTo(gateway));
  EXPECT_EQ(sink_.lines.back(), "Remote System Version is: 4.0.700.0.");
  EXPECT_EQ(theGatewayManager->versionValue, -1);
}

struct UnreadableCase {
  uint16_t request;
  const char* line;
};
void PrintTo(const UnreadableCase& c, std::ostream* out) { *out << c.request; }

class UnreadableAnswerTest : public ScriptedGatewayTest, public ::testing::WithParamInterface<UnreadableCase> {};

TEST_P(UnreadableAnswerTest, AnAnswerWithoutItsTextEndsTheSequence) {
  const UnreadableCase& c = GetParam();
  ScriptedGateway gateway([&](const CZkMSG& request) -> std::vector<std::vector<uint8_t>> {
    if (request.GetCode() == c.request) return {WireMessage(0, static_cast<uint16_t>(c.request + 1), {})};
    if (request.GetCode() == codes::ChallengeQuery) return Challenge();
    if (request.GetCode() == codes::LoginQuery) return Accept();
    return {};
  });
  EXPECT_FALSE(ConnectTo(gateway));
  EXPECT_EQ(sink_.lines.back(), c.line);
}

INSTANTIATE_TEST_SUITE_P(Answers, UnreadableAnswerTest,
                         ::testing::Values(UnreadableCase{codes::ChallengeQuery, "ERROR: Can't get Challenge String"},
                                           UnreadableCase{codes::VersionQuery, "ERROR: Can't get Version Info"}));

}  // namespace
