// The adapter IP configuration driven through the main dialog, headless, against
// the simulated adapter and plain UDP peers on loopback. Queries also go to
// 255.255.255.255, so these tests only run inside a private network namespace,
// where that address has no route.
#include "app/adapter_ip_config.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/config_brick_dialog.h"
#include "app/dialog_templates.h"
#include "app/main_dialog.h"
#include "discovery/local_addresses.h"
#include "discovery/local_system_entry.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/network_tables.h"
#include "platform/socket.h"
#include "tools/sim/simulated_system.h"
#include "ui/headless/headless_toolkit.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr int kWaitMs = 2000;
const Bytes kConfigQuery = {4, 0, 0, 0, 0, 0, 0, 0};

// Each test has addresses of its own: 127.0.TEST.HOST.
uint32_t TestAddress(uint8_t test, uint8_t host) { return NetworkOrderAddress(127, 0, test, host); }

class AddressRows : public platform::NetworkTables {
 public:
  bool Adapters(std::vector<platform::HardwareAddress>* out) override { return out->clear(), true; }
  bool IPv4Addresses(std::vector<platform::AddressRow>* out) override { return *out = rows, true; }
  std::vector<platform::AddressRow> rows;
};

// Moves by every sleep at once but lets a little real time pass too, so the
// simulated adapter's thread answers within the second the launcher waits.
class QuickClock : public platform::MovableClock {
 public:
  void Sleep(uint32_t ms) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min<uint32_t>(ms, 2)));
    Advance(ms);
  }
};

// A movable clock that shows the test each sleep before it passes.
class WatchedClock : public platform::MovableClock {
 public:
  void Sleep(uint32_t ms) override {
    if (onSleep) onSleep(ms);
    Advance(ms);
  }
  std::function<void(uint32_t ms)> onSleep;
};

// The headless toolkit, handing each IP configuration dialog to the test as it opens.
class EditorToolkit : public ui::HeadlessToolkit {
 public:
  std::unique_ptr<ui::WindowBackend> CreateWindow(ui::Dialog& dialog) override {
    if (auto* editor = dynamic_cast<CConfigBrickDlg*>(&dialog)) {
      ++editorsOpened;
      // The user's first action, once the dialog runs its loop.
      Post([this, editor] {
        shown = {editor->GetAddress(IDC_IP_ADDRESS), editor->GetAddress(IDC_SUBNET_MASK),
                 editor->GetAddress(IDC_DEFAULT_GATEWAY), editor->GetAddress(IDC_DNS_SERVER)};
        if (user) user(*editor);
      });
    }
    return HeadlessToolkit::CreateWindow(dialog);
  }

  std::function<void(CConfigBrickDlg&)> user;
  std::vector<uint32_t> shown;
  int editorsOpened = 0;
};

struct Status {
  std::string line;
  uint32_t tick;
};

class AdapterIpConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!platform::OnlyLoopbackLinks()) GTEST_SKIP() << "not inside a private network namespace: no broadcast is sent from here";
    useTables_ = std::make_unique<platform::ScopedNetworkTablesOverride>(&tables_);
    char pattern[] = "/tmp/tw-ipconfig-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    folderOverride_ = std::make_unique<platform::ScopedProgramFolderOverride>(folder_);
    setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    ui::SetToolkit(&toolkit_);
  }
  void TearDown() override {
    dialog_.reset();
    ui::SetToolkit(nullptr);
    folderOverride_.reset();
    useTables_.reset();
    if (!folder_.empty()) fs::remove_all(folder_);
  }

  // One address row per host address, each a /30.
  void SetRows(const std::vector<uint32_t>& addresses) {
    for (uint32_t address : addresses) tables_.rows.push_back({address, NetworkOrderAddress(255, 255, 255, 252)});
  }

  // The main dialog with the line of `target` selected, every status line recorded.
  CDiRIRUVDlg& OpenDialog(uint32_t target) {
    dialog_ = std::make_unique<CDiRIRUVDlg>("Quorvex: 12-34-56", "");
    EXPECT_TRUE(dialog_->Create());
    dialog_->SetStatusObserver([this](const std::string& line) {
      statuses_.push_back({line, platform::CurrentClock().TickMs()});
    });
    auto* entry = new LocalSystemEntry;
    entry->name = "Quorvex: 12-34-56";
    entry->address = target;
    entry->port = 80;
    const int index = dialog_->LocalSystems().AddLine(entry->LineText());
    dialog_->LocalSystems().SetEntry(index, entry);
    dialog_->UserSelectLine(IDC_LOCAL_SYSTEMS, index);
    return *dialog_;
  }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const Status& status : statuses_) lines.push_back(status.line);
    return lines;
  }

  AddressRows tables_;
  std::unique_ptr<platform::ScopedNetworkTablesOverride> useTables_;
  std::string folder_;
  std::unique_ptr<platform::ScopedProgramFolderOverride> folderOverride_;
  EditorToolkit toolkit_;
  std::unique_ptr<CDiRIRUVDlg> dialog_;
  std::vector<Status> statuses_;
};

// The simulated adapter at 127.0.TEST.2, hearing what the launcher sends to its own
// row address 127.0.TEST.1 as a real one hears the broadcast.
SimConfig AdapterConfig(uint8_t test) {
  SimConfig config;
  config.bindAddress = TestAddress(test, 2);
  config.discovery.enabled = true;
  config.discovery.alsoHearOn = TestAddress(test, 1);
  config.ipConfig.ipAddress = 0x0A4D0114;       // 10.77.1.20
  config.ipConfig.subnetMask = 0xFFFFFF00;      // 255.255.255.0
  config.ipConfig.defaultGateway = 0x0A4D0101;  // 10.77.1.1
  config.ipConfig.dnsServer = 0x0A4D0102;       // 10.77.1.2
  return config;
}

std::vector<Bytes> DatagramsOfSize(const SimulatedSystem& system, size_t size) {
  std::vector<Bytes> found;
  for (const ReceivedDatagram& datagram : system.Datagrams()) {
    if (datagram.bytes.size() == size) found.push_back(datagram.bytes);
  }
  return found;
}

struct EditCase {
  const char* name;
  std::function<void(CConfigBrickDlg&)> user;
  // What the user's action makes of the received record; null when nothing is sent.
  std::function<void(Bytes& record)> edit;
};

TEST_F(AdapterIpConfigTest, TheAnswerOpensTheDialogAndOnlyAConfirmationSendsTheRecordBack) {
  const std::vector<EditCase> cases = {
      {"OK unchanged", [](CConfigBrickDlg& d) { d.UserClick(ui::kIdOk); }, [](Bytes&) {}},
      {"typed IP Address",
       [](CConfigBrickDlg& d) {
         d.UserSetAddress(IDC_IP_ADDRESS, 0xC0A8010A);  // 192.168.1.10
         d.UserClick(ui::kIdOk);
       },
       [](Bytes& record) { std::copy_n(Bytes{0x0A, 0x01, 0xA8, 0xC0}.begin(), 4, record.begin()); }},
      {"Set DHCP", [](CConfigBrickDlg& d) { d.UserClick(IDC_SET_DHCP); },
       [](Bytes& record) { std::fill_n(record.begin(), 16, 0); }},
      {"Cancel", [](CConfigBrickDlg& d) { d.UserClick(ui::kIdCancel); }, nullptr},
  };
  QuickClock clock;
  platform::ScopedClockOverride useClock(&clock);
  uint8_t test = 140;
  for (const EditCase& c : cases) {
    SCOPED_TRACE(c.name);
    statuses_.clear();
    toolkit_.shown.clear();
    SimulatedSystem adapter;
    ASSERT_TRUE(adapter.Start(AdapterConfig(test))) << adapter.Error();
    const IpRecordBytes received = adapter.Record().adapterIpRecord;
    tables_.rows.clear();
    SetRows({TestAddress(test, 1)});
    CDiRIRUVDlg& dialog = OpenDialog(TestAddress(test, 2));
    const size_t discoverySockets = dialog.Discovery().GetDiscoverySockets().GetCount();
    toolkit_.user = c.user;

    dialog.UserClick(IDC_CONFIGURE_IP);

    EXPECT_EQ(toolkit_.shown, (std::vector<uint32_t>{0x0A4D0114, 0xFFFFFF00, 0x0A4D0101, 0x0A4D0102}));
    std::vector<std::string> expected = {"Retrieving IP Configuration...", "Sending Config Query...",
                                         "Response From 127.0." + std::to_string(test) + ".2"};
    if (c.edit) expected.insert(expected.end(), 4, "IP Config Sent...");
    EXPECT_EQ(Lines(), expected);
    EXPECT_EQ(DatagramsOfSize(adapter, 8), std::vector<Bytes>{kConfigQuery});
    Bytes record(received.begin(), received.end());
    if (c.edit) {
      c.edit(record);
      Bytes set(4 + record.size(), 0);
      set[0] = 7;
      std::copy(record.begin(), record.end(), set.begin() + 4);
      // The two copies for 255.255.255.255 find no route here; the adapter's two
      // arrive, and it takes what they carry.
      adapter.WaitUntil(
          [&](const SimRecord& r) {
            return r.datagrams.size() >= 3 && Bytes(r.adapterIpRecord.begin(), r.adapterIpRecord.end()) == record;
          },
          kWaitMs);
      EXPECT_EQ(DatagramsOfSize(adapter, 104), (std::vector<Bytes>{set, set}));
    } else {
      EXPECT_TRUE(DatagramsOfSize(adapter, 104).empty());
    }
    const IpRecordBytes now = adapter.Record().adapterIpRecord;
    EXPECT_EQ(Bytes(now.begin(), now.end()), record);

    EXPECT_EQ(dialog.progressDialog, nullptr);
    EXPECT_FALSE(dialog.IsItemEnabled(IDC_START));
    EXPECT_FALSE(dialog.IsItemEnabled(IDC_CONFIGURE));
    EXPECT_FALSE(dialog.IsItemEnabled(IDC_CONFIGURE_IP));
    EXPECT_EQ(dialog.Discovery().GetDiscoverySockets().GetCount(), discoverySockets);
    ++test;
  }
}

TEST_F(AdapterIpConfigTest, AnotherAdapterAnsweringFirstIsListedAndTheSearchGoesOn) {
  QuickClock clock;
  platform::ScopedClockOverride useClock(&clock);
  SimConfig config = AdapterConfig(145);
  config.ipConfig.otherAdapter = TestAddress(145, 3);
  SimulatedSystem adapter;
  ASSERT_TRUE(adapter.Start(config)) << adapter.Error();
  SetRows({TestAddress(145, 1)});
  CDiRIRUVDlg& dialog = OpenDialog(TestAddress(145, 2));
  toolkit_.user = [](CConfigBrickDlg& d) { d.UserClick(ui::kIdCancel); };

  dialog.UserClick(IDC_CONFIGURE_IP);

  EXPECT_EQ(Lines(), (std::vector<std::string>{"Retrieving IP Configuration...", "Sending Config Query...",
                                               "Response From 127.0.145.3", "Response From 127.0.145.2"}));
  EXPECT_EQ(toolkit_.shown, (std::vector<uint32_t>{0x0A4D0114, 0xFFFFFF00, 0x0A4D0101, 0x0A4D0102}));
}

// A plain UDP socket on a row's own address, port 1444: it hears the query sent
// there and never answers.
class SilentPeer {
 public:
  explicit SilentPeer(uint32_t address) {
    socket_ = platform::CreateUdpSocket();
    EXPECT_TRUE(platform::BindUdp(socket_, platform::MakeSocketAddress(address, 1444)));
  }
  ~SilentPeer() { platform::CloseSocket(socket_); }
  std::vector<Bytes> Heard() {
    std::vector<Bytes> heard;
    while (platform::DatagramWaiting(socket_)) {
      Bytes bytes(512);
      const long got = platform::ReceiveDatagram(socket_, bytes.data(), bytes.size(), nullptr);
      bytes.resize(got < 0 ? 0 : static_cast<size_t>(got));
      heard.push_back(bytes);
    }
    return heard;
  }

 private:
  platform::SocketHandle socket_;
};

TEST_F(AdapterIpConfigTest, NoAnswerGivesUpAfterTenSecondsARowAndSendsNothing) {
  WatchedClock clock;
  platform::ScopedClockOverride useClock(&clock);
  SilentPeer first(TestAddress(146, 1));
  SilentPeer second(TestAddress(147, 1));
  SetRows({TestAddress(146, 1), TestAddress(147, 1)});
  CDiRIRUVDlg& dialog = OpenDialog(TestAddress(146, 2));
  const size_t discoverySockets = dialog.Discovery().GetDiscoverySockets().GetCount();
  int32_t openSocketsWhileWaiting = 0;
  bool progressShownDuringPause = false;
  clock.onSleep = [&](uint32_t ms) {
    if (ms == 0) return;  // a status line yielding the thread, maybe before the sockets close
    openSocketsWhileWaiting = std::max(openSocketsWhileWaiting, dialog.Discovery().GetDiscoverySockets().GetCount());
    if (ms == 2000) progressShownDuringPause = dialog.progressDialog != nullptr && dialog.progressDialog->IsWindowVisible();
  };
  const uint32_t start = clock.TickMs();

  dialog.UserClick(IDC_CONFIGURE_IP);

  std::vector<std::string> expected = {"Retrieving IP Configuration..."};
  expected.insert(expected.end(), 20, "Sending Config Query...");
  expected.push_back("No Response from Target System. Old Version?");
  EXPECT_EQ(Lines(), expected);
  // 2 rows x 10 attempts x 1 s, then the last line shows for 2 s before the progress dialog goes.
  EXPECT_EQ(statuses_.back().tick - start, 20000u);
  EXPECT_EQ(clock.TickMs() - start, 22000u);
  EXPECT_TRUE(progressShownDuringPause);
  EXPECT_EQ(dialog.progressDialog, nullptr);
  EXPECT_EQ(openSocketsWhileWaiting, 0);
  EXPECT_EQ(toolkit_.editorsOpened, 0);
  EXPECT_EQ(first.Heard(), std::vector<Bytes>(10, kConfigQuery));
  EXPECT_EQ(second.Heard(), std::vector<Bytes>(10, kConfigQuery));
  for (int id : {IDC_START, IDC_CONFIGURE, IDC_CONFIGURE_IP}) EXPECT_TRUE(dialog.IsItemEnabled(id)) << id;
  EXPECT_EQ(dialog.Discovery().GetDiscoverySockets().GetCount(), discoverySockets);
}

// ---- reading the answers ------------------------------------------------------

// Answers a CPingSocket from loopback addresses of its own choosing.
class Answerer {
 public:
  explicit Answerer(CPingSocket& asker) {
    // The asker's first send binds it; our first socket learns where it is.
    Socket(TestAddress(149, 1));
    const Bytes hello = {0};
    platform::SocketAddress bound;
    EXPECT_TRUE(platform::LocalAddress(sockets_[0], &bound));
    EXPECT_TRUE(asker.SendDatagram(bound, hello.data(), hello.size()));
    EXPECT_EQ(platform::WaitReadable(sockets_[0], kWaitMs), platform::WaitResult::kReady);
    uint8_t byte = 0;
    EXPECT_EQ(platform::ReceiveDatagram(sockets_[0], &byte, 1, &asker_), 1);
  }
  ~Answerer() {
    for (platform::SocketHandle socket : sockets_) platform::CloseSocket(socket);
  }
  void Send(uint8_t host, const Bytes& bytes) {
    ASSERT_EQ(platform::SendDatagram(Socket(TestAddress(149, host)), bytes.data(), bytes.size(), asker_),
              static_cast<long>(bytes.size()));
  }

 private:
  platform::SocketHandle Socket(uint32_t address) {
    for (size_t i = 0; i < addresses_.size(); ++i) {
      if (addresses_[i] == address) return sockets_[i];
    }
    sockets_.push_back(platform::CreateUdpSocket());
    EXPECT_TRUE(platform::BindUdp(sockets_.back(), platform::MakeSocketAddress(address, 0)));
    addresses_.push_back(address);
    return sockets_.back();
  }

  std::vector<platform::SocketHandle> sockets_;
  std::vector<uint32_t> addresses_;
  platform::SocketAddress asker_;
};

Bytes Record(uint8_t fill) { return Bytes(kAdapterIpRecordSize, fill); }

TEST(AwaitTargetAnswerTest, OtherLengthsAreDroppedOtherSendersListedAndTheTargetEndsTheWait) {
  QuickClock clock;
  platform::ScopedClockOverride useClock(&clock);
  CPingSocket socket(0x7F009502);
  Answerer answerer(socket);
  answerer.Send(2, Bytes(99, 0xEE));
  answerer.Send(2, Bytes(101, 0xEE));
  answerer.Send(2, Bytes());
  answerer.Send(3, Record(0x33));
  answerer.Send(2, Record(0x22));
  answerer.Send(2, Record(0x44));  // after the target's answer: left unread

  AdapterIpRecord record;
  platform::SocketAddress source;
  std::vector<std::string> lines;
  const uint32_t start = clock.TickMs();
  ASSERT_TRUE(AwaitTargetAnswer(socket, TestAddress(149, 2), start, &record, &source,
                                [&](const std::string& line) { lines.push_back(line); }));
  EXPECT_EQ(lines, (std::vector<std::string>{"Response From 127.0.149.3", "Response From 127.0.149.2"}));
  EXPECT_EQ(Bytes(record.bytes, record.bytes + sizeof record.bytes), Record(0x22));
  EXPECT_EQ(source.address, TestAddress(149, 2));
  uint8_t rest[kConfigAnswerSize];
  EXPECT_EQ(socket.ReceiveConfigAnswer(rest, &source), kAnswerReceived);

  // Another sender only: the full second passes, no more.
  answerer.Send(3, Record(0x33));
  const uint32_t again = clock.TickMs();
  EXPECT_FALSE(AwaitTargetAnswer(socket, TestAddress(149, 2), again, &record, &source, [](const std::string&) {}));
  EXPECT_EQ(clock.TickMs() - again, 1000u);
}

}  // namespace
