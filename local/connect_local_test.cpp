#include <gtest/gtest.h>

#include <memory>

#include "local/zk_query.h"
#include "local/zk_server.h"
#include "platform/clock.h"
#include "protocol/message.h"
#include "protocol/message_codes.h"
#include "tools/sim/simulated_system.h"

namespace {

constexpr uint32_t kLoopback = 0x0100007F;  // 127.0.0.1 as it lies in memory

class ConnectLocalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    theServer = &server_;
    server_.SetPassword("secret");
    server_.SetHardwareAddress("00-1A-2B-3C-4D-5E");
  }
  void TearDown() override {
    sim_.Stop();
    theServer = nullptr;
  }
  void StartSim(const SimConfig& config = SimConfig()) { ASSERT_TRUE(sim_.Start(config)) << sim_.Error(); }
  bool Connect(int32_t connectionType = 0) { return server_.ConnectLocal(kLoopback, sim_.Port(), connectionType); }

  CZkServer server_;
  SimulatedSystem sim_;
};

TEST_F(ConnectLocalTest, SendsThePreambleAndLogsInWithTheLocalForm) {
  StartSim();
  ASSERT_TRUE(Connect(3));
  EXPECT_TRUE(server_.IsConnected());
  const std::vector<ConnectionRecord> connections = sim_.Connections();
  ASSERT_EQ(connections.size(), 1u);
  EXPECT_TRUE(connections[0].preambleReceived);
  EXPECT_TRUE(connections[0].loggedIn);
  EXPECT_EQ(connections[0].lastLogin.connectionType, 3);
  EXPECT_EQ(connections[0].lastLogin.loginName, "Local Config");
  EXPECT_EQ(connections[0].lastLogin.hardwareAddress, "00-1A-2B-3C-4D-5E");
  // Exactly the challenge and the login, nothing unasked.
  const std::vector<ReceivedRequest> requests = sim_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].code, message_codes::ChallengeQuery);
  EXPECT_EQ(requests[1].code, message_codes::LoginQuery);
  EXPECT_EQ(requests[0].queryId, 2);
  EXPECT_EQ(requests[1].queryId, 3);
}

TEST_F(ConnectLocalTest, AWrongPasswordFailsAtOnceAndLeavesTheConnectionOpen) {
  StartSim();
  server_.SetPassword("wrong");
  platform::MovableClock clock;
  platform::ScopedClockOverride useClock(&clock);
  const uint32_t start = clock.TickMs();
  EXPECT_FALSE(Connect());
  EXPECT_LT(ElapsedMs(start), 1000u);  // refused, not timed out
  EXPECT_TRUE(server_.IsConnected());
  EXPECT_FALSE(sim_.Connections()[0].loggedIn);
}

TEST_F(ConnectLocalTest, ASystemSilentOnTheChallengeFailsAfterFiveSecondsAndIsClosed) {
  SimConfig config;
  config.faults.silentOn.codes.insert(message_codes::ChallengeQuery);
  StartSim(config);
  platform::MovableClock clock;
  platform::ScopedClockOverride useClock(&clock);
  const uint32_t start = clock.TickMs();
  EXPECT_FALSE(Connect());
  EXPECT_GE(ElapsedMs(start), 5000u);
  EXPECT_LT(ElapsedMs(start), 6000u);
  EXPECT_FALSE(server_.IsConnected());
}

TEST_F(ConnectLocalTest, ASystemSilentOnTheLoginFailsAfterTenSecondsAndStaysOpen) {
  SimConfig config;
  config.faults.silentOn.codes.insert(message_codes::LoginQuery);
  StartSim(config);
  platform::MovableClock clock;
  platform::ScopedClockOverride useClock(&clock);
  const uint32_t start = clock.TickMs();
  EXPECT_FALSE(Connect());
  EXPECT_GE(ElapsedMs(start), 10000u);
  EXPECT_LT(ElapsedMs(start), 11000u);
  EXPECT_TRUE(server_.IsConnected());
}

TEST_F(ConnectLocalTest, NothingListeningFailsOnlyAfterTheTenSecondBound) {
  StartSim();
  const uint16_t port = sim_.Port();
  sim_.Stop();  // the port is now closed
  platform::MovableClock clock;
  platform::ScopedClockOverride useClock(&clock);
  const uint32_t start = clock.TickMs();
  EXPECT_FALSE(server_.ConnectLocal(kLoopback, port, 0));
  EXPECT_GT(ElapsedMs(start), 10000u);
  EXPECT_LT(ElapsedMs(start), 10200u);
  EXPECT_FALSE(server_.IsConnected());
  EXPECT_EQ(server_.GetTarget().port, 0x0000 | static_cast<uint16_t>((port >> 8) | (port << 8)));
}

TEST_F(ConnectLocalTest, ASecondConnectClosesTheFirstConnection) {
  StartSim();
  ASSERT_TRUE(Connect());
  ASSERT_TRUE(Connect());
  ASSERT_TRUE(sim_.WaitUntil([](const SimRecord& record) {
    return record.connections.size() == 2 && record.connections[0].closedByClient;
  }, 2000));
  EXPECT_TRUE(sim_.Connections()[1].loggedIn);
  EXPECT_FALSE(sim_.Connections()[1].closed);
}

// Each fault of the sim on the version question, as the launcher's query sees it
// after a good login.
TEST_F(ConnectLocalTest, TheSimulatedFaultsAsTheQuerySeesThem) {
  struct Case {
    const char* what;
    CodeSet SimFaults::*fault;
    bool answered;
    bool atOnce;  // decided well before the 5 s time-out
    bool stillConnected;
    int deferred;
  };
  const Case cases[] = {
      {"silent", &SimFaults::silentOn, false, false, true, 0},
      {"wrong code", &SimFaults::wrongCodeOn, false, true, true, 0},
      {"broadcast before", &SimFaults::broadcastBefore, true, true, true, 1},
      {"other id before", &SimFaults::otherIdBefore, true, true, true, 1},
      {"byte at a time", &SimFaults::byteAtATime, true, true, true, 0},
      {"close mid message", &SimFaults::closeMidMessage, false, true, false, 0},
      {"oversize length", &SimFaults::oversizeLength, false, true, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CZkServer server;
    theServer = &server;
    server.SetPassword("secret");
    SimConfig config;
    (config.faults.*c.fault).codes.insert(message_codes::VersionQuery);
    StartSim(config);
    ASSERT_TRUE(server.ConnectLocal(kLoopback, sim_.Port(), 0));

    platform::MovableClock clock;
    platform::ScopedClockOverride useClock(&clock);
    std::unique_ptr<CZkMSG> request = CZkMSG::Create(0, message_codes::VersionQuery, 0, true);
    CZkQuery query;
    CZkMSG* answer = nullptr;
    const uint32_t start = clock.TickMs();
    EXPECT_EQ(query.Ask(&answer, request.get()), c.answered);
    EXPECT_EQ(ElapsedMs(start) < 1000u, c.atOnce);
    if (c.answered) {
      std::string version;
      EXPECT_TRUE(answer->ReadString(&version));
      EXPECT_EQ(version, config.versionText);
    }
    EXPECT_EQ(server.IsConnected(), c.stillConnected);
    EXPECT_EQ(server.GetDeferredCount(), c.deferred);
    sim_.Stop();
  }
  theServer = &server_;
}

}  // namespace
