// Discovery against simulated systems on loopback: every test sweeps a /24 of its
// own (127.0.X.0 to 127.0.X.255, X unique per test) with its own clock, which only
// moves when the test says, so the 500 ms sweep and the 30 s ageing are exact.
#include "discovery/local_discovery.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <thread>

#include "discovery/fake_system_list.h"
#include "discovery/local_addresses.h"
#include "platform/clock.h"
#include "platform/descriptor_limit.h"
#include "platform/named_mutex.h"
#include "platform/network_tables.h"
#include "tools/sim/simulated_system.h"

namespace {

constexpr int kSimWaitMs = 3000;
// After a sim has sent, loopback delivery has normally happened already; this only
// covers a busy machine that defers it.
constexpr auto kDeliveryGrace = std::chrono::milliseconds(20);

class FakeTables : public platform::NetworkTables {
 public:
  bool Adapters(std::vector<platform::HardwareAddress>* out) override {
    out->clear();
    return true;
  }
  bool IPv4Addresses(std::vector<platform::AddressRow>* out) override {
    *out = rows;
    return readable;
  }
  std::vector<platform::AddressRow> rows;
  bool readable = true;
};

platform::AddressRow Row(uint8_t a, uint8_t b, uint8_t c, uint8_t d, int prefix) {
  platform::AddressRow row;
  row.address = NetworkOrderAddress(a, b, c, d);
  row.mask = NetworkOrderFromHost(prefix == 0 ? 0u : 0xFFFFFFFFu << (32 - prefix));
  return row;
}

// A runtime folder of the test's own for the "GatewayMutex" lock file.
class ScopedRuntimeFolder {
 public:
  ScopedRuntimeFolder() {
    char pattern[] = "/tmp/tw-discovery-XXXXXX";
    if (mkdtemp(pattern) != nullptr) path_ = pattern;
    setenv("XDG_RUNTIME_DIR", path_.c_str(), 1);
  }
  ~ScopedRuntimeFolder() {
    unsetenv("XDG_RUNTIME_DIR");
    if (!path_.empty()) std::filesystem::remove_all(path_);
  }

 private:
  std::string path_;
};

struct RunningSim {
  std::unique_ptr<SimulatedSystem> system;
  size_t repliesPerSweep = 1;
};

class DiscoveryTest : public ::testing::Test {
 protected:
  DiscoveryTest() : useClock_(&clock_), useTables_(&tables_) {}

  // The test's own /24, swept from 127.0.X.1.
  void UseSubnet(uint8_t x) {
    subnet_ = x;
    tables_.rows = {Row(127, 0, x, 1, 24)};
    discovery_ = std::make_unique<LocalDiscovery>();
    discovery_->OpenDiscoverySockets();
  }

  SimulatedSystem& StartSim(uint8_t host, const std::string& name, const std::function<void(SimConfig&)>& adjust = {}) {
    SimConfig config;
    config.bindAddress = Address(host);
    config.systemName = name;
    config.discovery.enabled = true;
    if (adjust) adjust(config);
    RunningSim& sim = sims_[host];
    sim.system = std::make_unique<SimulatedSystem>();
    sim.repliesPerSweep = (config.discovery.alsoHearOn != 0 ? 2 : 1) *
                          (config.discovery.fault != DiscoveryFault::kNone && config.discovery.answerAfterFault ? 2 : 1);
    EXPECT_TRUE(sim.system->Start(config)) << sim.system->Error();
    return *sim.system;
  }
  void StopSim(uint8_t host) { sims_.erase(host); }

  uint32_t Address(uint8_t host) const { return NetworkOrderAddress(127, 0, subnet_, host); }
  std::string Line(const std::string& name, uint8_t host) {
    return name + " (127.0." + std::to_string(subnet_) + "." + std::to_string(host) + ":" +
           std::to_string(sims_.at(host).system->Port()) + ")";
  }

  void Tick(uint32_t ms = 300) {
    clock_.Advance(ms);
    discovery_->DiscoveryStep(list_);
  }

  // Ticks until one sends a sweep and every running sim has answered it; the
  // answers then wait on the sockets for the next tick.
  void Sweep() {
    std::map<uint8_t, size_t> sentBefore;
    for (auto& [host, sim] : sims_) sentBefore[host] = sim.system->Record().datagramsSent;
    const uint32_t lastSweep = discovery_->GetLastDiscoverySweep();
    for (int i = 0; i < 3 && discovery_->GetLastDiscoverySweep() == lastSweep; ++i) Tick();
    ASSERT_NE(discovery_->GetLastDiscoverySweep(), lastSweep);
    for (auto& [host, sim] : sims_) {
      ASSERT_TRUE(sim.system->WaitForDatagramsSent(sentBefore[host] + sim.repliesPerSweep, kSimWaitMs)) << int(host);
    }
    std::this_thread::sleep_for(kDeliveryGrace);
  }
  // A sweep and the tick that reads its answers.
  void SweepAndRead() {
    Sweep();
    Tick();
  }

  ScopedRuntimeFolder runtime_;
  platform::MovableClock clock_;
  platform::ScopedClockOverride useClock_;
  FakeTables tables_;
  platform::ScopedNetworkTablesOverride useTables_;
  uint8_t subnet_ = 0;
  std::map<uint8_t, RunningSim> sims_;
  std::unique_ptr<LocalDiscovery> discovery_;
  FakeSystemList list_;
};

TEST_F(DiscoveryTest, ALineAppearsOnTheTickAfterTheSweepWithTheAnswersFields) {
  UseSubnet(80);
  EXPECT_EQ(discovery_->GetDiscoverySockets().GetCount(), 256);
  StartSim(2, "Quorvex: 12-34-56", [](SimConfig& c) {
    c.discovery.gatewayType = 42;
    c.discovery.gatewaySubtype = 9;
  });
  StartSim(3, "alpha", [](SimConfig& c) { c.discovery.port = 8080; });
  Tick();
  EXPECT_TRUE(sims_[2].system->Datagrams().empty()) << "no sweep before 500 ms have passed";
  Sweep();
  EXPECT_TRUE(list_.lines.empty());
  Tick();
  ASSERT_EQ(list_.Texts(), (std::vector<std::string>{"alpha (127.0.80.3:8080)", Line("Quorvex: 12-34-56", 2)}));
  const LocalSystemEntry* entry = list_.lines[1].entry;
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->name, "Quorvex: 12-34-56");
  EXPECT_EQ(entry->address, Address(2));
  EXPECT_EQ(entry->port, sims_[2].system->Port());
  EXPECT_EQ(entry->gatewayType, 42);
  EXPECT_EQ(entry->gatewaySubtype, 9);
  EXPECT_EQ(entry->lastSeen, clock_.TickMs());
  EXPECT_EQ(list_.repaints, 2);
  // Each system was asked once, with the 8-byte request, by a socket aimed at it.
  const std::vector<ReceivedDatagram> received = sims_[2].system->Datagrams();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].bytes, (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));
  LocalDiscovery::FreeEntries(list_);
  EXPECT_EQ(list_.lines[0].entry, nullptr);
}

TEST_F(DiscoveryTest, ASystemAnsweringOnTwoSocketsShowsOneLineAndLaterAnswersRefreshIt) {
  UseSubnet(81);
  StartSim(2, "Quorvex: 12-34-56", [this](SimConfig& c) { c.discovery.alsoHearOn = Address(255); });
  SweepAndRead();
  const std::vector<ReceivedDatagram> received = sims_[2].system->Datagrams();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_NE(received[0].heardOnSecond, received[1].heardOnSecond);
  EXPECT_EQ(list_.Texts(), (std::vector<std::string>{Line("Quorvex: 12-34-56", 2)}));
  const uint32_t firstSeen = list_.lines[0].entry->lastSeen;
  SweepAndRead();
  EXPECT_EQ(list_.added.size(), 1u);
  EXPECT_GT(list_.lines[0].entry->lastSeen, firstSeen);
  EXPECT_EQ(list_.lines[0].entry->lastSeen, clock_.TickMs());
}

TEST_F(DiscoveryTest, ARenamedSystemReplacesItsLineInTheSameTick) {
  UseSubnet(82);
  StartSim(2, "Old Name");
  StartSim(3, "Neighbour");
  SweepAndRead();
  const std::string oldLine = Line("Old Name", 2);
  ASSERT_NE(list_.Find(oldLine), nullptr);
  // Names compare exactly: another letter case is another name.
  StopSim(2);
  StartSim(2, "OLD NAME");
  SweepAndRead();
  EXPECT_EQ(list_.Texts(), (std::vector<std::string>{Line("Neighbour", 3), Line("OLD NAME", 2)}));
  EXPECT_EQ(list_.deleted, (std::vector<std::string>{oldLine}));
}

TEST_F(DiscoveryTest, SilentLinesGoOneATickOnceOlderThanThirtySecondsEvenWithTheSocketsClosed) {
  UseSubnet(83);
  StartSim(2, "First");
  StartSim(3, "Second");
  StartSim(4, "Third");
  SweepAndRead();
  ASSERT_EQ(list_.lines.size(), 3u);
  const uint32_t seen = clock_.TickMs();
  const std::vector<std::string> lines = list_.Texts();
  sims_.clear();
  discovery_->CloseDiscoverySockets();
  clock_.SetTick(seen + 30000);
  discovery_->DiscoveryStep(list_);
  EXPECT_EQ(list_.lines.size(), 3u) << "30 s exactly is not yet too old";
  clock_.SetTick(seen + 30001);
  for (size_t left : {2u, 1u, 0u}) {
    discovery_->DiscoveryStep(list_);
    EXPECT_EQ(list_.lines.size(), left);
  }
  EXPECT_EQ(list_.deleted, lines);
}

TEST_F(DiscoveryTest, BadDatagramsAreDroppedAndTheSocketReadOnWhileDroppedAnswersWaitForTheNextTick) {
  UseSubnet(84);
  struct Case {
    uint8_t host;
    DiscoveryFault fault;
    bool thenAnswer;
    int listedOnTick;  // 1: with the answers' first read, 2: one tick later, 0: never
  };
  const Case cases[] = {
      {2, DiscoveryFault::kWrongLength39, true, 1}, {3, DiscoveryFault::kWrongLength41, true, 1},
      {4, DiscoveryFault::kEmpty, true, 1},         {5, DiscoveryFault::kType5, true, 2},
      {6, DiscoveryFault::kType5, false, 0},        {7, DiscoveryFault::kWrongLength39, false, 0},
      {8, DiscoveryFault::kEmpty, false, 0},
  };
  for (const Case& c : cases) {
    StartSim(c.host, "System " + std::to_string(c.host), [&](SimConfig& config) {
      config.discovery.fault = c.fault;
      config.discovery.answerAfterFault = c.thenAnswer;
    });
  }
  SweepAndRead();
  for (const Case& c : cases) {
    EXPECT_EQ(list_.Find(Line("System " + std::to_string(c.host), c.host)) != nullptr, c.listedOnTick == 1)
        << int(c.host);
  }
  Tick();
  for (const Case& c : cases) {
    EXPECT_EQ(list_.Find(Line("System " + std::to_string(c.host), c.host)) != nullptr, c.listedOnTick != 0)
        << int(c.host);
  }
}

TEST_F(DiscoveryTest, ANameFillingTheWholeFieldEndsThere) {
  UseSubnet(85);
  StartSim(2, "Quorvex: 12-34-56", [](SimConfig& c) { c.discovery.fault = DiscoveryFault::kFullName; });
  SweepAndRead();
  EXPECT_EQ(list_.Texts(), (std::vector<std::string>{Line("Quorvex: 12-34-56###########", 2)}));
}

struct SelectionCase {
  const char* typed;
  uint8_t gatewayType;
  bool selected;
};

TEST_F(DiscoveryTest, ANewLineIsSelectedWhenItsNameWasTypedOrNothingWasAndItsTypeIsOneOfFour) {
  UseSubnet(86);
  const SelectionCase cases[] = {
      {"", 1, true},   {"", 6, true},    {"", 7, true},  {"", 100, true},
      {"", 0, false},  {"", 2, false},   {"", 99, false}, {"quorvex: 12-34-56", 2, true},
      {"QUORVEX: 12-34-56", 0, true},    {"Quorvex: 12-34-5", 1, false},
  };
  uint8_t host = 2;
  for (const SelectionCase& c : cases) {
    SCOPED_TRACE(std::string("typed \"") + c.typed + "\", type " + std::to_string(c.gatewayType));
    FakeSystemList list;
    list.systemName = c.typed;
    sims_.clear();
    StartSim(host, "Quorvex: 12-34-56", [&](SimConfig& config) { config.discovery.gatewayType = c.gatewayType; });
    Sweep();
    clock_.Advance(300);
    discovery_->DiscoveryStep(list);
    ASSERT_EQ(list.lines.size(), 1u);
    EXPECT_EQ(list.selections.size(), c.selected ? 1u : 0u);
    EXPECT_EQ(list.systemName, c.selected ? "Quorvex: 12-34-56" : c.typed);
    ++host;
  }
}

TEST_F(DiscoveryTest, WithNothingTypedOnlyTheFirstLineAddedIsSelected) {
  UseSubnet(87);
  StartSim(2, "Zulu");
  StartSim(3, "Alpha");
  SweepAndRead();
  // Sockets are read in address order, so Zulu's answer comes first.
  EXPECT_EQ(list_.selections, (std::vector<std::string>{Line("Zulu", 2)}));
  EXPECT_EQ(list_.systemName, "Zulu");
  EXPECT_EQ(list_.selected, 1);
}

TEST_F(DiscoveryTest, ARefusedLineLeavesNothingBehind) {
  UseSubnet(88);
  StartSim(2, "Quorvex: 12-34-56");
  list_.refuseAdds = true;
  SweepAndRead();
  EXPECT_TRUE(list_.lines.empty());
  EXPECT_EQ(list_.repaints, 0);
  EXPECT_TRUE(list_.selections.empty());
}

TEST_F(DiscoveryTest, LocalMachineIsListedWhileAGatewayOnThisComputerHoldsGatewayMutex) {
  UseSubnet(89);
  Tick();
  EXPECT_TRUE(list_.lines.empty());
  SimConfig gatewayConfig;
  gatewayConfig.holdGatewayMutex = true;
  SimulatedSystem gateway;
  ASSERT_TRUE(gateway.Start(gatewayConfig)) << gateway.Error();
  const uint32_t before = clock_.TickMs();
  discovery_->DiscoveryStep(list_);
  EXPECT_EQ(ElapsedMs(before), 100u) << "the probe waits 100 ms for the mutex";
  ASSERT_EQ(list_.Texts(), (std::vector<std::string>{"Local Machine (127.0.0.1:80)"}));
  const LocalSystemEntry* entry = list_.lines[0].entry;
  EXPECT_EQ(entry->address, NetworkOrderAddress(127, 0, 0, 1));
  EXPECT_EQ(entry->gatewayType, 1);
  EXPECT_EQ(entry->gatewaySubtype, 0);
  EXPECT_EQ(list_.systemName, "Local Machine");
  Tick();
  EXPECT_EQ(list_.lines[0].entry->lastSeen, clock_.TickMs()) << "refreshed on every tick";

  // Once the gateway lets go, its line ages out like any other.
  gateway.Stop();
  const uint32_t seen = list_.lines[0].entry->lastSeen;
  clock_.SetTick(seen + 30001);
  discovery_->DiscoveryStep(list_);
  EXPECT_TRUE(list_.lines.empty());
}

TEST_F(DiscoveryTest, ASecondHolderInThisProcessCountsAsAnotherProgram) {
  UseSubnet(90);
  platform::NamedMutexHolder holder;
  ASSERT_TRUE(holder.Acquire("GatewayMutex"));
  EXPECT_TRUE(discovery_->IsLocalGatewayRunning());
  holder.Release();
  EXPECT_FALSE(discovery_->IsLocalGatewayRunning());
}

TEST_F(DiscoveryTest, OnlySubnetsBelow512AddressesAreSweptAddressByAddress) {
  struct Case {
    std::vector<platform::AddressRow> rows;
    int sockets;
    uint32_t first, last;  // targets, host order
  };
  const Case cases[] = {
      {{Row(10, 1, 0, 5, 23)}, 512, 0x0A010000, 0x0A0101FF},
      {{Row(10, 1, 0, 5, 22)}, 0, 0, 0},
      {{Row(127, 0, 0, 1, 8)}, 0, 0, 0},
      {{Row(127, 0, 0, 1, 8), Row(192, 168, 1, 7, 24), Row(10, 0, 0, 1, 16)}, 256, 0xC0A80100, 0xC0A801FF},
      {{Row(192, 168, 1, 7, 32)}, 1, 0xC0A80107, 0xC0A80107},
      {{Row(255, 255, 255, 254, 31)}, 2, 0xFFFFFFFE, 0xFFFFFFFF},
  };
  // Sockets are only opened here; nothing is ever sent to these addresses.
  for (const Case& c : cases) {
    tables_.rows = c.rows;
    LocalDiscovery discovery;
    discovery.OpenDiscoverySockets();
    discovery.OpenDiscoverySockets();  // reopening starts afresh
    const CZkObList& sockets = discovery.GetDiscoverySockets();
    ASSERT_EQ(sockets.GetCount(), c.sockets) << FormatIPv4(c.rows.back().address);
    if (c.sockets == 0) continue;
    EXPECT_EQ(static_cast<CPingSocket*>(sockets.GetHead())->GetTarget(), c.first);
    EXPECT_EQ(static_cast<CPingSocket*>(sockets.GetTail())->GetTarget(), c.last);
    discovery.CloseDiscoverySockets();
    EXPECT_TRUE(sockets.IsEmpty());
  }
  tables_.readable = false;
  LocalDiscovery unreadable;
  EXPECT_TRUE(unreadable.OpenDiscoverySockets());
  EXPECT_TRUE(unreadable.GetDiscoverySockets().IsEmpty());
}

TEST_F(DiscoveryTest, TwoSlash23SubnetsNeedTheRaisedDescriptorLimit) {
  const long stock = 1024;
  if (!platform::SetDescriptorSoftLimit(stock)) GTEST_SKIP() << "the soft limit cannot be set to " << stock;
  tables_.rows = {Row(10, 1, 0, 5, 23), Row(10, 2, 0, 5, 23)};
  auto validCount = [](const LocalDiscovery& discovery) {
    int valid = 0;
    for (CZkObList::Position at = discovery.GetDiscoverySockets().GetHeadPosition(); at != nullptr;) {
      valid += static_cast<CPingSocket*>(discovery.GetDiscoverySockets().GetNext(&at))->IsValid() ? 1 : 0;
    }
    return valid;
  };
  {
    LocalDiscovery discovery;
    discovery.OpenDiscoverySockets();
    EXPECT_EQ(discovery.GetDiscoverySockets().GetCount(), 1024);
    EXPECT_LT(validCount(discovery), 1024) << "the stock limit leaves some sockets invalid";
  }
  ASSERT_TRUE(platform::RaiseDescriptorLimit());
  if (platform::DescriptorSoftLimit() < 1100) GTEST_SKIP() << "the hard limit is too low here";
  LocalDiscovery discovery;
  discovery.OpenDiscoverySockets();
  EXPECT_EQ(validCount(discovery), 1024);
}

}  // namespace
