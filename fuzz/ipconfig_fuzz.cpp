// Fuzzes the reading of IP configuration answers: datagrams of any length and
// content from four loopback senders arrive on one real CPingSocket, and the wait
// for the target's answer reads them with a clock that only moves when it sleeps.
// Each wait must do exactly what a plain model of it says: drop every datagram that
// is not 100 bytes without a word, report every 100-byte one as "Response From
// A.B.C.D" with the record overwritten, and stop right after the target's (sender 1)
// or when the second is over, leaving later datagrams unread.
//
// Input: repeated records of
//   control byte: bits 0-1 the sender (127.0.150.1 + n); bit 2 wait for the target
//                 after this datagram; bit 5 the datagram's length gets 256 more
//   length byte, then that many datagram bytes (fewer when the input ends)
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "app/adapter_ip_config.h"
#include "discovery/local_addresses.h"
#include "discovery/ping_socket.h"
#include "platform/clock.h"
#include "platform/network_tables.h"
#include "platform/socket.h"

namespace {

constexpr int kSenders = 4;
constexpr int kTargetSender = 1;
// The socket's buffer holds a few hundred small datagrams; wait before it could overflow.
constexpr size_t kMaxPending = 64;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

uint32_t SenderAddress(int sender) { return NetworkOrderFromHost(0x7F009601u + static_cast<uint32_t>(sender)); }

struct Sent {
  int sender;
  std::vector<uint8_t> bytes;
};

struct Harness {
  platform::MovableClock clock;
  platform::ScopedClockOverride useClock{&clock};
  CPingSocket socket{0x7F009602};
  platform::SocketHandle senders[kSenders];
  platform::SocketAddress socketAddress;
  std::deque<Sent> pending;  // sent and not yet read, in order
  AdapterIpRecord record;

  Harness() {
    for (int i = 0; i < kSenders; ++i) {
      senders[i] = platform::CreateUdpSocket();
      Check(platform::BindUdp(senders[i], platform::MakeSocketAddress(SenderAddress(i), 0)));
    }
    // The socket's first send binds it; the first sender learns where it is.
    platform::SocketAddress bound;
    Check(platform::LocalAddress(senders[0], &bound));
    const uint8_t hello = 0;
    Check(socket.SendDatagram(bound, &hello, 1));
    uint8_t byte = 0;
    Check(platform::WaitReadable(senders[0], 1000) == platform::WaitResult::kReady);
    Check(platform::ReceiveDatagram(senders[0], &byte, 1, &socketAddress) == 1);
  }

  void Send(int sender, const uint8_t* bytes, size_t length) {
    if (platform::SendDatagram(senders[sender], bytes, length, socketAddress) == static_cast<long>(length)) {
      pending.push_back(Sent{sender, std::vector<uint8_t>(bytes, bytes + length)});
    }
  }

  // One wait, checked against the model.
  void Wait() {
    std::vector<std::string> expectedLines;
    AdapterIpRecord expectedRecord = record;
    bool expectedFound = false;
    while (!pending.empty() && !expectedFound) {
      const Sent sent = pending.front();
      pending.pop_front();
      if (sent.bytes.size() != kAdapterIpRecordSize) continue;
      std::memcpy(expectedRecord.bytes, sent.bytes.data(), kAdapterIpRecordSize);
      expectedLines.push_back("Response From " + FormatIPv4(SenderAddress(sent.sender)));
      expectedFound = sent.sender == kTargetSender;
    }
    std::vector<std::string> lines;
    platform::SocketAddress source;
    const uint32_t start = clock.TickMs();
    const bool found = AwaitTargetAnswer(socket, SenderAddress(kTargetSender), start, &record, &source,
                                         [&lines](const std::string& line) { lines.push_back(line); });
    Check(found == expectedFound);
    Check(lines == expectedLines);
    Check(std::memcmp(record.bytes, expectedRecord.bytes, kAdapterIpRecordSize) == 0);
    Check(!found || source.address == SenderAddress(kTargetSender));
    Check(found || ElapsedMs(start) == kConfigAnswerWaitMs);
  }

  void Drain() {
    uint8_t answer[kConfigAnswerSize];
    platform::SocketAddress source;
    while (socket.ReceiveConfigAnswer(answer, &source) != kNothingReceived) {
    }
    pending.clear();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Harness* harness = new Harness;
  size_t at = 0;
  while (at + 2 <= size) {
    const uint8_t control = data[at];
    size_t length = data[at + 1] + ((control & 0x20) != 0 ? 256u : 0u);
    at += 2;
    if (length > size - at) length = size - at;
    harness->Send(control & 3, data + at, length);
    at += length;
    if ((control & 0x04) != 0 || harness->pending.size() >= kMaxPending) harness->Wait();
  }
  harness->Wait();
  harness->Drain();
  return 0;
}
