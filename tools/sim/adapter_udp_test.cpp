// The adapter's UDP side of the simulated system, seen from a plain UDP socket: the
// answer's bytes are read at their offsets here, independently of the launcher's
// own decoding.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/named_mutex.h"
#include "platform/socket.h"
#include "tools/sim/sim_options.h"
#include "tools/sim/simulated_system.h"

namespace {

constexpr int kWaitMs = 2000;
constexpr int kSilenceMs = 300;
// Each test has addresses of its own, so tests running side by side never meet.
uint32_t TestAddress(uint8_t test, uint8_t host) { return NetworkOrderAddress(127, 0, test, host); }

const std::vector<uint8_t> kDiscoveryRequest = {1, 0, 0, 0, 0, 0, 0, 0};

// A launcher-side socket on loopback that asks and collects the replies.
class Asker {
 public:
  Asker() {
    socket_ = platform::CreateUdpSocket();
    EXPECT_TRUE(platform::BindUdp(socket_, platform::MakeSocketAddress(NetworkOrderAddress(127, 0, 0, 1), 0)));
  }
  ~Asker() { platform::CloseSocket(socket_); }

  void Send(const std::vector<uint8_t>& bytes, uint32_t to) {
    ASSERT_EQ(platform::SendDatagram(socket_, bytes.data(), bytes.size(), platform::MakeSocketAddress(to, 1444)),
              static_cast<long>(bytes.size()));
  }

  // The replies that arrive within the wait, each with its sender.
  std::vector<std::vector<uint8_t>> Collect(size_t expected, std::vector<platform::SocketAddress>* senders = nullptr,
                                            int waitMs = kWaitMs) {
    std::vector<std::vector<uint8_t>> replies;
    while (replies.size() < expected && platform::WaitReadable(socket_, waitMs) == platform::WaitResult::kReady) {
      std::vector<uint8_t> buffer(2048);
      platform::SocketAddress from;
      const long got = platform::ReceiveDatagram(socket_, buffer.data(), buffer.size(), &from);
      if (got < 0) break;
      buffer.resize(static_cast<size_t>(got));
      replies.push_back(buffer);
      if (senders != nullptr) senders->push_back(from);
    }
    return replies;
  }

 private:
  platform::SocketHandle socket_;
};

SimConfig AdapterConfig(uint32_t address) {
  SimConfig config;
  config.bindAddress = address;
  config.systemName = "Quorvex: 12-34-56";
  config.discovery.enabled = true;
  return config;
}

uint16_t U16At(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::string NameField(const std::vector<uint8_t>& answer) {
  return std::string(answer.begin() + 12, answer.begin() + 40);
}

TEST(SimAdapterTest, ADiscoveryRequestGetsTheFortyByteAnswerFromTheBindAddress) {
  SimulatedSystem system;
  SimConfig config = AdapterConfig(TestAddress(70, 2));
  config.discovery.gatewaySubtype = 9;
  ASSERT_TRUE(system.Start(config)) << system.Error();
  Asker asker;
  asker.Send(kDiscoveryRequest, TestAddress(70, 2));
  std::vector<platform::SocketAddress> senders;
  const std::vector<std::vector<uint8_t>> replies = asker.Collect(1, &senders);
  ASSERT_EQ(replies.size(), 1u);
  const std::vector<uint8_t>& answer = replies[0];
  ASSERT_EQ(answer.size(), 40u);
  EXPECT_EQ(senders[0].address, TestAddress(70, 2));
  EXPECT_EQ(platform::HostPort(senders[0]), 1444);
  EXPECT_EQ(U16At(answer, 8), system.Port());
  EXPECT_EQ(answer[10], 1);
  EXPECT_EQ(answer[11], 9);
  EXPECT_EQ(NameField(answer), std::string("Quorvex: 12-34-56") + std::string(11, '\0'));
  EXPECT_TRUE(system.WaitForDatagramsSent(1, kWaitMs));
  ASSERT_EQ(system.Datagrams().size(), 1u);
  EXPECT_EQ(system.Datagrams()[0].bytes, kDiscoveryRequest);
}

TEST(SimAdapterTest, OtherDatagramsAreRecordedButNotAnswered) {
  SimulatedSystem system;
  ASSERT_TRUE(system.Start(AdapterConfig(TestAddress(71, 2)))) << system.Error();
  Asker asker;
  asker.Send({2, 0, 0, 0, 0, 0, 0, 0}, TestAddress(71, 2));
  asker.Send({1, 0, 0, 0, 0, 0, 0}, TestAddress(71, 2));
  asker.Send({}, TestAddress(71, 2));
  asker.Send(kDiscoveryRequest, TestAddress(71, 2));
  // Only the last one is answered, so exactly one reply arrives.
  EXPECT_EQ(asker.Collect(2, nullptr, kSilenceMs).size(), 1u);
  ASSERT_EQ(system.Datagrams().size(), 4u);
  EXPECT_TRUE(system.Datagrams()[2].bytes.empty());
}

TEST(SimAdapterTest, ConfiguredNamePortTypeAndALongNameCutToTheField) {
  SimulatedSystem system;
  SimConfig config = AdapterConfig(TestAddress(72, 2));
  config.discovery.name = "A name of thirty bytes, long!";
  config.discovery.port = 8080;
  config.discovery.gatewayType = 100;
  ASSERT_TRUE(system.Start(config)) << system.Error();
  Asker asker;
  asker.Send(kDiscoveryRequest, TestAddress(72, 2));
  const std::vector<std::vector<uint8_t>> replies = asker.Collect(1);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(U16At(replies[0], 8), 8080);
  EXPECT_EQ(replies[0][10], 100);
  EXPECT_EQ(NameField(replies[0]), std::string("A name of thirty bytes, lon") + '\0');
}

struct FaultCase {
  const char* option;
  std::vector<size_t> sizes;  // of the datagrams sent back, in order
};

TEST(SimAdapterTest, EachDiscoveryFaultSendsItsDatagramAndOptionallyTheAnswerAfter) {
  const std::vector<FaultCase> cases = {
      {"wrong-length-39", {39}}, {"wrong-length-41", {41}}, {"empty", {0}}, {"type5", {40}}, {"full-name", {40}},
  };
  uint8_t host = 2;
  for (const FaultCase& fault : cases) {
    for (bool thenAnswer : {false, true}) {
      SCOPED_TRACE(std::string(fault.option) + (thenAnswer ? " then answer" : ""));
      SimOptions options;
      std::string error;
      std::vector<std::string> args = {"--port=0", "--bind", "127.0.73." + std::to_string(host), "--name",
                                       "Quorvex: 12-34-56", "--discovery-fault", fault.option};
      if (thenAnswer) args.push_back("--discovery-fault-then-answer");
      ASSERT_TRUE(ParseSimOptions(args, &options, &error)) << error;
      SimulatedSystem system;
      ASSERT_TRUE(system.Start(options.config)) << system.Error();
      Asker asker;
      asker.Send(kDiscoveryRequest, TestAddress(73, host++));
      const std::vector<std::vector<uint8_t>> replies = asker.Collect(thenAnswer ? 2 : 1);
      ASSERT_EQ(replies.size(), thenAnswer ? 2u : 1u);
      EXPECT_EQ(replies[0].size(), fault.sizes[0]);
      if (fault.option == std::string("type5")) {
        EXPECT_EQ(replies[0][10], 5);
      }
      if (fault.option == std::string("full-name")) {
        EXPECT_EQ(NameField(replies[0]), "Quorvex: 12-34-56###########");
      }
      if (thenAnswer) {
        EXPECT_EQ(replies[1].size(), 40u);
        EXPECT_EQ(replies[1][10], 1);
        EXPECT_EQ(replies[1][12 + 17], 0);
      }
    }
  }
}

TEST(SimAdapterTest, ASecondAddressIsHeardAndAnsweredFromTheBindAddress) {
  SimulatedSystem system;
  SimConfig config = AdapterConfig(TestAddress(74, 2));
  config.discovery.alsoHearOn = TestAddress(74, 255);
  ASSERT_TRUE(system.Start(config)) << system.Error();
  Asker asker;
  asker.Send(kDiscoveryRequest, TestAddress(74, 255));
  std::vector<platform::SocketAddress> senders;
  ASSERT_EQ(asker.Collect(1, &senders).size(), 1u);
  EXPECT_EQ(senders[0].address, TestAddress(74, 2));
  ASSERT_EQ(system.Datagrams().size(), 1u);
  EXPECT_TRUE(system.Datagrams()[0].heardOnSecond);
}

TEST(SimAdapterTest, StopEndsTheUdpSideAtOnceAndStartMayFollow) {
  SimulatedSystem system;
  ASSERT_TRUE(system.Start(AdapterConfig(TestAddress(75, 2)))) << system.Error();
  const auto before = std::chrono::steady_clock::now();
  system.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
  ASSERT_TRUE(system.Start(AdapterConfig(TestAddress(75, 2)))) << system.Error();
  Asker asker;
  asker.Send(kDiscoveryRequest, TestAddress(75, 2));
  EXPECT_EQ(asker.Collect(1).size(), 1u);
}

TEST(SimAdapterTest, AsTheGatewayItHoldsGatewayMutexWhileRunning) {
  char pattern[] = "/tmp/tw-sim-mutex-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  setenv("XDG_RUNTIME_DIR", pattern, 1);
  SimConfig config;
  config.holdGatewayMutex = true;
  {
    SimulatedSystem gateway;
    ASSERT_TRUE(gateway.Start(config)) << gateway.Error();
    EXPECT_EQ(platform::ProbeNamedMutex("GatewayMutex", 0), platform::MutexProbe::kHeldElsewhere);
    SimulatedSystem second;
    EXPECT_FALSE(second.Start(config));
    EXPECT_NE(second.Error().find("GatewayMutex"), std::string::npos) << second.Error();
  }
  EXPECT_EQ(platform::ProbeNamedMutex("GatewayMutex", 0), platform::MutexProbe::kAcquired);
  unsetenv("XDG_RUNTIME_DIR");
  std::filesystem::remove_all(pattern);
}

Datagram ConfigSet(const std::vector<uint8_t>& record) {
  Datagram set(4 + record.size(), 0);
  set[0] = 7;
  std::copy(record.begin(), record.end(), set.begin() + 4);
  return set;
}

TEST(SimAdapterTest, TheIpRecordAnswersAnyoneAndASetWithTheAdaptersOwnBytesChangesIt) {
  SimOptions options;
  std::string error;
  ASSERT_TRUE(ParseSimOptions({"--port=0", "--bind", "127.0.76.2", "--adapter-ip", "192.168.1.10", "--adapter-mask",
                               "255.255.255.0", "--adapter-gateway", "192.168.1.1", "--adapter-dns", "192.168.1.2"},
                              &options, &error))
      << error;
  SimulatedSystem system;
  ASSERT_TRUE(system.Start(options.config)) << system.Error();
  Asker asker;
  const std::vector<uint8_t> query = {4, 0, 0, 0, 0, 0, 0, 0};
  asker.Send(query, TestAddress(76, 2));
  std::vector<std::vector<uint8_t>> replies = asker.Collect(1);
  ASSERT_EQ(replies.size(), 1u);
  std::vector<uint8_t> record = replies[0];
  ASSERT_EQ(record.size(), 100u);
  EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.begin() + 16),
            (std::vector<uint8_t>{0x0A, 1, 0xA8, 0xC0, 0, 0xFF, 0xFF, 0xFF, 1, 1, 0xA8, 0xC0, 2, 1, 0xA8, 0xC0}));

  // Another adapter's trailing bytes: not meant for this one.
  std::vector<uint8_t> foreign = record;
  foreign[0] = 0x99;
  foreign[50] ^= 0xFF;
  asker.Send(ConfigSet(foreign), TestAddress(76, 2));
  std::vector<uint8_t> changed = record;
  std::fill(changed.begin(), changed.begin() + 16, 0);
  changed[0] = 0x14;
  asker.Send(ConfigSet(changed), TestAddress(76, 2));
  EXPECT_TRUE(system.WaitUntil([](const SimRecord& r) { return r.datagrams.size() == 3; }, kWaitMs));
  asker.Send(query, TestAddress(76, 2));
  replies = asker.Collect(1);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0], changed);
  const IpRecordBytes now = system.Record().adapterIpRecord;
  EXPECT_EQ(std::vector<uint8_t>(now.begin(), now.end()), changed);
}

TEST(SimAdapterTest, SilentOrWithAnotherAdapterAnsweringFirst) {
  SimConfig config = AdapterConfig(TestAddress(77, 2));
  config.ipConfig.otherAdapter = TestAddress(77, 3);
  SimulatedSystem system;
  ASSERT_TRUE(system.Start(config)) << system.Error();
  Asker asker;
  asker.Send({4, 0, 0, 0, 0, 0, 0, 0}, TestAddress(77, 2));
  std::vector<platform::SocketAddress> senders;
  const std::vector<std::vector<uint8_t>> replies = asker.Collect(2, &senders);
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(senders[0].address, TestAddress(77, 3));
  EXPECT_EQ(senders[1].address, TestAddress(77, 2));
  EXPECT_EQ(replies[0].size(), 100u);
  EXPECT_NE(replies[0], replies[1]);
  system.Stop();

  config.ipConfig.silent = true;
  ASSERT_TRUE(system.Start(config)) << system.Error();
  asker.Send({4, 0, 0, 0, 0, 0, 0, 0}, TestAddress(77, 2));
  EXPECT_TRUE(asker.Collect(1, nullptr, kSilenceMs).empty());
}

TEST(SimOptionsTest, DiscoveryOptionsBecomeTheConfig) {
  SimOptions options;
  std::string error;
  ASSERT_TRUE(ParseSimOptions({"--discovery-name", "Caf\xC3\xA9", "--discovery-port=81", "--gateway-type", "7",
                               "--gateway-subtype", "3", "--discovery-also-on", "127.0.1.255", "--gateway-mutex"},
                              &options, &error))
      << error;
  const SimDiscovery& discovery = options.config.discovery;
  EXPECT_TRUE(discovery.enabled);  // on by default in the process
  EXPECT_EQ(discovery.name, "Caf\xE9");
  EXPECT_EQ(discovery.port, 81);
  EXPECT_EQ(discovery.gatewayType, 7);
  EXPECT_EQ(discovery.gatewaySubtype, 3);
  EXPECT_EQ(discovery.alsoHearOn, NetworkOrderAddress(127, 0, 1, 255));
  EXPECT_TRUE(options.config.holdGatewayMutex);
  EXPECT_FALSE(SimConfig().discovery.enabled);  // off unless a test asks for it

  ASSERT_TRUE(ParseSimOptions({"--no-discovery"}, &options, &error));
  EXPECT_FALSE(options.config.discovery.enabled);
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"--discovery-fault", "loud"}, {"--gateway-type", "256"}, {"--discovery-also-on", "x"}, {"--discovery=1"}}) {
    EXPECT_FALSE(ParseSimOptions(bad, &options, &error)) << bad[0];
  }
}

}  // namespace
