// Fuzzes the handling of discovery answers: datagrams of any length and content,
// from loopback senders of four addresses (127.0.0.1 among them), arrive on one
// real CPingSocket and go through discovery's reading, dropping, refreshing,
// replacing, adding, selecting and ageing, with a clock the input moves. The list
// must stay consistent: one line per address, each with its entry and the text the
// entry makes, no name longer than its 28-byte field.
//
// Input: repeated records of
//   control byte: bits 0-1 the sender (127.0.0.1 + n); bit 2 read the socket after
//                 this datagram; bit 3 a timer tick 10 s later; bit 4 System Name
//                 empty or typed; bit 5 the datagram's length gets 256 more
//   length byte, then that many datagram bytes (fewer when the input ends)
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#include "discovery/fake_system_list.h"
#include "discovery/local_addresses.h"
#include "discovery/local_discovery.h"
#include "discovery/ping_socket.h"
#include "platform/clock.h"
#include "platform/network_tables.h"
#include "platform/socket.h"

namespace {

constexpr int kSenders = 4;
constexpr int kMaxReadsPerRecord = 8;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// No local subnets: the ticks sweep nothing.
class NoTables : public platform::NetworkTables {
 public:
  bool Adapters(std::vector<platform::HardwareAddress>* out) override { return out->clear(), true; }
  bool IPv4Addresses(std::vector<platform::AddressRow>* out) override { return out->clear(), true; }
};

std::string g_runtimeFolder;

void RemoveRuntimeFolder() { std::filesystem::remove_all(g_runtimeFolder); }

struct Harness {
  platform::MovableClock clock;
  platform::ScopedClockOverride useClock{&clock};
  NoTables tables;
  platform::ScopedNetworkTablesOverride useTables{&tables};
  CPingSocket socket{0x7F000002};  // 127.0.0.2
  platform::SocketHandle senders[kSenders];
  platform::SocketAddress socketAddress;

  Harness() {
    // "GatewayMutex" is probed on every tick: keep its lock file in a folder of our own.
    char folder[] = "/tmp/tw-discovery-fuzz-XXXXXX";
    Check(mkdtemp(folder) != nullptr);
    g_runtimeFolder = folder;
    std::atexit(RemoveRuntimeFolder);
    setenv("XDG_RUNTIME_DIR", folder, 1);
    for (int i = 0; i < kSenders; ++i) {
      senders[i] = platform::CreateUdpSocket();
      const uint32_t address = NetworkOrderFromHost(0x7F000001u + static_cast<uint32_t>(i));
      Check(platform::BindUdp(senders[i], platform::MakeSocketAddress(address, 0)));
    }
    // The socket's first send binds it; the sender at 127.0.0.2 learns where it is.
    platform::SocketAddress bound;
    Check(platform::LocalAddress(senders[1], &bound));
    Check(socket.SendDiscoveryRequest(platform::HostPort(bound)));
    uint8_t request[kDiscoveryRequestSize];
    Check(platform::WaitReadable(senders[1], 1000) == platform::WaitResult::kReady);
    Check(platform::ReceiveDatagram(senders[1], request, sizeof request, &socketAddress) == sizeof request);
  }

  void Drain() {
    uint8_t answer[kDiscoveryAnswerSize];
    platform::SocketAddress source;
    while (socket.ReceiveDiscoveryAnswer(answer, &source) != kNothingReceived) {
    }
  }
};

void CheckList(FakeSystemList& list) {
  std::set<uint32_t> addresses;
  for (const FakeSystemList::Line& line : list.lines) {
    Check(line.entry != nullptr);
    Check(line.text == line.entry->LineText());
    Check(line.entry->name.size() <= kAnswerNameSize);
    Check(addresses.insert(line.entry->address).second);
    Check(line.entry->address != NetworkOrderFromHost(0x7F000001u) || line.entry->name == "Local Machine");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Harness* harness = new Harness;
  LocalDiscovery discovery;
  FakeSystemList list;
  size_t at = 0;
  while (at + 2 <= size) {
    const uint8_t control = data[at];
    size_t length = data[at + 1] + ((control & 0x20) != 0 ? 256u : 0u);
    at += 2;
    if (length > size - at) length = size - at;
    platform::SendDatagram(harness->senders[control & 3], data + at, length, harness->socketAddress);
    at += length;
    list.systemName = (control & 0x10) != 0 ? "quorvex: 12-34-56" : "";
    if ((control & 0x04) != 0) {
      for (int i = 0; i < kMaxReadsPerRecord && discovery.ProcessDiscoveryAnswer(&harness->socket, list); ++i) {
      }
    }
    if ((control & 0x08) != 0) {
      harness->clock.Advance(10000);
      discovery.DiscoveryStep(list);
    }
    CheckList(list);
  }
  harness->Drain();
  return 0;
}
