// CPingSocket against a plain UDP peer on loopback, and the answer's layout.
#include "discovery/ping_socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "discovery/local_addresses.h"
#include "discovery/local_discovery.h"
#include "discovery/local_system_entry.h"
#include "discovery/fake_system_list.h"
#include "platform/network_tables.h"
#include "tools/sim/sim_config.h"

namespace {

constexpr int kWaitMs = 2000;

// A UDP socket on its own loopback address that hears what a CPingSocket aimed at
// it sends, and answers it from there.
class Peer {
 public:
  explicit Peer(uint32_t address, uint16_t port = 0) {
    socket_ = platform::CreateUdpSocket();
    EXPECT_TRUE(platform::BindUdp(socket_, platform::MakeSocketAddress(address, port)));
    EXPECT_TRUE(platform::LocalAddress(socket_, &bound_));
  }
  ~Peer() { platform::CloseSocket(socket_); }

  uint16_t Port() const { return platform::HostPort(bound_); }
  uint32_t HostOrderAddress() const { return HostOrderFromNetwork(bound_.address); }

  // The next datagram; remembers its sender as the one to answer.
  std::vector<uint8_t> Receive() {
    std::vector<uint8_t> bytes(512);
    if (platform::WaitReadable(socket_, kWaitMs) != platform::WaitResult::kReady) return {};
    const long got = platform::ReceiveDatagram(socket_, bytes.data(), bytes.size(), &asker_);
    bytes.resize(got < 0 ? 0 : static_cast<size_t>(got));
    return bytes;
  }
  void Answer(const std::vector<uint8_t>& bytes) { AnswerTo(asker_, bytes); }
  void AnswerTo(const platform::SocketAddress& to, const std::vector<uint8_t>& bytes) {
    ASSERT_EQ(platform::SendDatagram(socket_, bytes.data(), bytes.size(), to), static_cast<long>(bytes.size()));
  }
  const platform::SocketAddress& Asker() const { return asker_; }
  // Makes the socket ask, so the peer knows where to answer.
  void Meet(CPingSocket& socket) {
    ASSERT_TRUE(socket.SendDiscoveryRequest(Port()));
    ASSERT_EQ(Receive().size(), kDiscoveryRequestSize);
  }

 private:
  platform::SocketHandle socket_;
  platform::SocketAddress bound_;
  platform::SocketAddress asker_;
};

std::vector<uint8_t> Answer(const std::string& name, uint16_t port, uint8_t type, uint8_t subtype) {
  std::vector<uint8_t> bytes(kDiscoveryAnswerSize, 0);
  bytes[8] = static_cast<uint8_t>(port);
  bytes[9] = static_cast<uint8_t>(port >> 8);
  bytes[10] = type;
  bytes[11] = subtype;
  std::memcpy(&bytes[12], name.data(), std::min<size_t>(name.size(), 28));
  return bytes;
}

// Reads until something arrives: loopback normally delivers before the send
// returns, this covers a busy machine that delivers late.
template <typename Receive>
int AwaitReceive(Receive receive) {
  int result = kNothingReceived;
  for (int i = 0; i < 200 && (result = receive()) == kNothingReceived; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return result;
}

int ReceiveAnswer(CPingSocket& socket, uint8_t (&answer)[kDiscoveryAnswerSize], platform::SocketAddress* source) {
  return AwaitReceive([&] { return socket.ReceiveDiscoveryAnswer(answer, source); });
}

int ReceiveRecord(CPingSocket& socket, uint8_t (&record)[kConfigAnswerSize], platform::SocketAddress* source) {
  return AwaitReceive([&] { return socket.ReceiveConfigAnswer(record, source); });
}

TEST(PingSocketTest, RequestsCarryTheirCodeAndAZeroWord) {
  Peer peer(NetworkOrderAddress(127, 0, 91, 2));
  CPingSocket socket(peer.HostOrderAddress());
  ASSERT_TRUE(socket.IsValid());
  EXPECT_EQ(socket.GetTarget(), 0x7F005B02u);
  ASSERT_TRUE(socket.SendDiscoveryRequest(peer.Port()));
  EXPECT_EQ(peer.Receive(), (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(PingSocketTest, AConfigQueryGoesToTheTargetsPort1444AndAlwaysReportsSuccess) {
  // The other copy goes to 255.255.255.255, which must find no network here.
  if (!platform::OnlyLoopbackLinks()) GTEST_SKIP() << "not inside a private network namespace: no broadcast is sent from here";
  Peer peer(NetworkOrderAddress(127, 0, 91, 3), kDiscoveryPort);
  CPingSocket socket(peer.HostOrderAddress());
  EXPECT_TRUE(socket.SendConfigQuery());
  EXPECT_EQ(peer.Receive(), (std::vector<uint8_t>{4, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(PingSocketTest, EachReceiveTakesOneDatagramAndOnlyFortyBytesMakeAnAnswer) {
  Peer peer(NetworkOrderAddress(127, 0, 91, 4));
  CPingSocket socket(peer.HostOrderAddress());
  peer.Meet(socket);
  uint8_t answer[kDiscoveryAnswerSize];
  platform::SocketAddress source;
  EXPECT_EQ(socket.ReceiveDiscoveryAnswer(answer, &source), kNothingReceived);
  for (size_t length : {0, 39, 41, 255, 256, 257, 400}) {
    peer.Answer(std::vector<uint8_t>(length, 'x'));
    source.address = 1;
    EXPECT_EQ(ReceiveAnswer(socket, answer, &source), kWrongDatagram) << length;
    EXPECT_EQ(source.address, 0u) << "the source is cleared";
    EXPECT_EQ(socket.ReceiveDiscoveryAnswer(answer, &source), kNothingReceived) << length;
  }
  const std::vector<uint8_t> good = Answer("Pool", 80, 1, 0);
  peer.Answer(good);
  ASSERT_EQ(ReceiveAnswer(socket, answer, &source), kAnswerReceived);
  EXPECT_EQ(std::vector<uint8_t>(answer, answer + sizeof answer), good);
  EXPECT_EQ(source.address, NetworkOrderAddress(127, 0, 91, 4));
  EXPECT_EQ(platform::HostPort(source), peer.Port());
}

TEST(PingSocketTest, OnlyHundredByteDatagramsMakeAConfigAnswer) {
  Peer peer(NetworkOrderAddress(127, 0, 91, 5));
  CPingSocket socket(peer.HostOrderAddress());
  peer.Meet(socket);
  uint8_t record[kConfigAnswerSize];
  platform::SocketAddress source;
  for (size_t length : {0, 40, 99, 101, 150}) {
    peer.Answer(std::vector<uint8_t>(length, 'x'));
    EXPECT_EQ(ReceiveRecord(socket, record, &source), kWrongDatagram) << length;
  }
  std::vector<uint8_t> good(kConfigAnswerSize);
  for (size_t i = 0; i < good.size(); ++i) good[i] = static_cast<uint8_t>(i);
  peer.Answer(good);
  ASSERT_EQ(ReceiveRecord(socket, record, &source), kAnswerReceived);
  EXPECT_EQ(std::vector<uint8_t>(record, record + sizeof record), good);
  EXPECT_EQ(source.address, NetworkOrderAddress(127, 0, 91, 5));
}

TEST(PingSocketTest, AnAnswerFrom127001IsDroppedAndTheNextWaitsForTheNextRead) {
  Peer loopback(NetworkOrderAddress(127, 0, 0, 1));
  Peer other(NetworkOrderAddress(127, 0, 91, 6));
  CPingSocket socket(loopback.HostOrderAddress());
  loopback.Meet(socket);
  loopback.Answer(Answer("Sneaky", 80, 1, 0));
  other.AnswerTo(loopback.Asker(), Answer("Honest", 81, 1, 0));
  LocalDiscovery discovery;
  FakeSystemList list;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a busy machine may deliver late
  EXPECT_FALSE(discovery.ProcessDiscoveryAnswer(&socket, list));
  EXPECT_TRUE(list.lines.empty());
  EXPECT_TRUE(discovery.ProcessDiscoveryAnswer(&socket, list));
  EXPECT_EQ(list.Texts(), (std::vector<std::string>{"Honest (127.0.91.6:81)"}));
  EXPECT_FALSE(discovery.ProcessDiscoveryAnswer(&socket, list));
}

TEST(DiscoveryAnswerTest, FieldsAreReadAtTheirOffsetsAndTheNameNeverLeavesItsField) {
  uint8_t bytes[kDiscoveryAnswerSize] = {};
  bytes[8] = 0x90;
  bytes[9] = 0x1F;
  bytes[10] = 6;
  bytes[11] = 3;
  std::memset(bytes + 12, 'N', 28);
  DiscoveryAnswer answer = ParseDiscoveryAnswer(bytes);
  EXPECT_EQ(answer.port, 8080);
  EXPECT_EQ(answer.gatewayType, 6);
  EXPECT_EQ(answer.gatewaySubtype, 3);
  EXPECT_EQ(answer.name, std::string(28, 'N'));
  bytes[12 + 5] = 0;
  EXPECT_EQ(ParseDiscoveryAnswer(bytes).name, "NNNNN");
}

TEST(DiscoveryLineTest, TheLineShowsNameAddressAndPort) {
  LocalSystemEntry entry;
  entry.name = "Quorvex: 12-34-56";
  entry.address = NetworkOrderAddress(192, 168, 1, 20);
  entry.port = 80;
  EXPECT_EQ(entry.LineText(), "Quorvex: 12-34-56 (192.168.1.20:80)");
  entry.port = 65535;
  EXPECT_EQ(entry.LineText(), "Quorvex: 12-34-56 (192.168.1.20:65535)");
}

TEST(DiscoveryLineTest, NamesCompareIgnoringTheCaseOfAsciiAndLatin1Letters) {
  EXPECT_TRUE(SameNameIgnoringCase("quorvex: 12-34-56", "QUORVEX: 12-34-56"));
  EXPECT_TRUE(SameNameIgnoringCase("Caf\xE9", "CAF\xC9"));
  EXPECT_FALSE(SameNameIgnoringCase("\xF7", "\xD7"));  // division and multiplication signs
  EXPECT_FALSE(SameNameIgnoringCase("Pool", "Pool "));
  EXPECT_FALSE(SameNameIgnoringCase("Pool[", "Pool{"));
}

}  // namespace
