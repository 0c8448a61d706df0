#include "remote/discovery_client.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "remote/remote_test_services.h"

namespace {

class DiscoveryClientTest : public ::testing::Test {
 protected:
  void TearDown() override { DisposeDiscoveryClient(); }

  bool Find(const std::string& serviceName = kRemoteSystemName) {
    uint8_t address[4];
    const uint32_t networkOrder = services_.Address();
    std::memcpy(address, &networkOrder, sizeof address);
    return FindRemoteSystem(kRemoteSystemName, serviceName, address, services_.discovery.Port(), &sink_);
  }
  std::vector<std::string> Lines(std::vector<std::string> tail) const {
    std::vector<std::string> lines = {"Connecting to Discovery Service...", "Connected.",
                                      "Sending GATEWAY remote connection request..."};
    lines.insert(lines.end(), tail.begin(), tail.end());
    return lines;
  }

  RemoteServices services_;
  RecordingSink sink_;
};

TEST_F(DiscoveryClientTest, AFoundSystemIsReportedWithItsAddressAndFlags) {
  SimDiscoveryServiceConfig config = services_.DiscoveryConfig();
  config.systems[0].address = "203.0.113.5";
  config.systems[0].port = 80;
  config.systems[0].publicPortOpen = 0;
  config.systems[0].relayMode = 1;
  services_.StartDiscovery(config);
  ASSERT_TRUE(Find("Kelventra Service"));
  EXPECT_EQ(sink_.lines, Lines({"Remote connection authorized.", "Found system at 203.0.113.5:80.",
                                "Public port closed.", "Relay mode is ON."}));
  EXPECT_EQ(GetFoundAddress(), "203.0.113.5");
  EXPECT_EQ(theDiscoveryClient->foundPort, 80);
  EXPECT_EQ(theDiscoveryClient->publicPortOpen, 0);
  EXPECT_EQ(theDiscoveryClient->relayMode, 1);
  const std::vector<SimLookup> lookups = services_.discovery.Lookups();
  ASSERT_EQ(lookups.size(), 1u);
  EXPECT_EQ(lookups[0].systemName, kRemoteSystemName);
  EXPECT_EQ(lookups[0].serviceName, "Kelventra Service");
}

TEST_F(DiscoveryClientTest, AnOpenDirectSystemGetsNoFlagLines) {
  services_.StartDiscovery();
  ASSERT_TRUE(Find());
  EXPECT_EQ(sink_.lines.back(), "Found system at " + services_.AddressText() + ":0.");
}

struct AnswerCase {
  const char* what;
  std::function<void(SimDiscoveryServiceConfig&)> configure;
  const char* line;
};
void PrintTo(const AnswerCase& c, std::ostream* out) { *out << c.what; }

class DiscoveryAnswerTest : public DiscoveryClientTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(DiscoveryAnswerTest, EndsWithItsLine) {
  const AnswerCase& c = GetParam();
  SimDiscoveryServiceConfig config = services_.DiscoveryConfig();
  c.configure(config);
  services_.StartDiscovery(config);
  EXPECT_FALSE(Find());
  EXPECT_EQ(sink_.lines, Lines({c.line}));
  EXPECT_EQ(GetFoundAddress(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DiscoveryAnswerTest,
    ::testing::Values(
        AnswerCase{"unknown system", [](SimDiscoveryServiceConfig& c) { c.systems.clear(); },
                   "ERROR: System not found"},
        AnswerCase{"refusal with a reason",
                   [](SimDiscoveryServiceConfig& c) {
                     c.reply = LookupReply::kError;
                     c.errorText = "x";
                   },
                   "ERROR: x"},
        AnswerCase{"code 18001",
                   [](SimDiscoveryServiceConfig& c) {
                     c.reply = LookupReply::kCode;
                     c.replyCode = 18001;
                   },
                   "ERROR: Unrecognized response (18001)"},
        AnswerCase{"code 40000 read as signed",
                   [](SimDiscoveryServiceConfig& c) {
                     c.reply = LookupReply::kCode;
                     c.replyCode = 40000;
                   },
                   "ERROR: Unrecognized response (-25536)"}));

TEST_F(DiscoveryClientTest, ASilentServiceIsGivenUpAfterSixtySecondsWithoutSpinning) {
  SimDiscoveryServiceConfig config = services_.DiscoveryConfig();
  config.reply = LookupReply::kSilent;
  services_.StartDiscovery(config);
  PacedClock clock;
  platform::ScopedClockOverride useClock(&clock);
  const uint32_t start = clock.TickMs();
  EXPECT_FALSE(Find());
  EXPECT_EQ(sink_.lines.back(), "ERROR: Communication to Discovery Service failed");
  EXPECT_EQ(ElapsedMs(start), 60001u);  // one wait on the socket, then the time-out
}

TEST_F(DiscoveryClientTest, ARefusedConnectionIsReportedWithTheSocketsReason) {
  services_.StartDiscovery();
  services_.discovery.Stop();
  EXPECT_FALSE(Find());
  EXPECT_EQ(sink_.lines, (std::vector<std::string>{"Connecting to Discovery Service...",
                                                   "ERROR: Cannot connect to Discovery Service. Error #10061 in "
                                                   "connect(): Connection refused.\n"}));
  ASSERT_NE(theDiscoveryClient, nullptr);  // until disposed
  DisposeDiscoveryClient();
  EXPECT_EQ(theDiscoveryClient, nullptr);
  EXPECT_EQ(GetDiscoveryError(), "No Instance created");
}

TEST_F(DiscoveryClientTest, AnExistingClientIsReusedWithoutConnectingAgain) {
  services_.StartDiscovery();
  uint8_t address[4];
  const uint32_t networkOrder = services_.Address();
  std::memcpy(address, &networkOrder, sizeof address);
  ASSERT_TRUE(ConnectDiscoveryService(address, services_.discovery.Port(), &sink_));
  sink_.lines.clear();
  EXPECT_TRUE(ConnectDiscoveryService(address, services_.discovery.Port(), &sink_));
  EXPECT_EQ(sink_.lines, std::vector<std::string>{"Connected."});
  for (int i = 0; i < 100 && services_.discovery.ConnectionCount() == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));  // the service accepts on its own thread
  }
  EXPECT_EQ(services_.discovery.ConnectionCount(), 1u);
}

TEST(DiscoveryReplyTest, ItemsAShortAnswerLacksCountAsZero) {
  SystemLocation location;
  std::string error;
  EXPECT_FALSE(ReadDiscoveryReply(WireMessage(0, 18004, {}).data(), &location, &error));
  EXPECT_EQ(error, "System not found");

  std::vector<uint8_t> payload = {1, 0};
  AppendString(&payload, "203.0.113.5");
  AppendShort(&payload, 80);
  ASSERT_TRUE(ReadDiscoveryReply(WireMessage(0, 18004, payload).data(), &location, &error));
  EXPECT_EQ(location.address, "203.0.113.5");
  EXPECT_EQ(location.port, 80);
  EXPECT_EQ(location.publicPortOpen, 0);
  EXPECT_EQ(location.relayMode, 0);

  ASSERT_TRUE(ReadDiscoveryReply(WireMessage(0, 18004, {1}).data(), &location, &error));
  EXPECT_EQ(location.address, "");
  EXPECT_EQ(location.port, 0);
}

}  // namespace
