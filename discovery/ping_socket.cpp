#include "discovery/ping_socket.h"

#include <cstring>

#include "discovery/local_addresses.h"

namespace {

// 255.255.255.255: the same in either byte order.
constexpr uint32_t kLimitedBroadcast = 0xFFFFFFFFu;

}  // namespace

CPingSocket::CPingSocket(uint32_t target) : target_(target) {
  socket_ = platform::CreateUdpSocket();
  if (socket_ == platform::kInvalidSocket) return;
  if (!platform::SetBroadcast(socket_, true)) {
    platform::CloseSocket(socket_);
    socket_ = platform::kInvalidSocket;
  }
}

CPingSocket::~CPingSocket() { platform::CloseSocket(socket_); }

bool CPingSocket::SendDiscoveryRequest(uint16_t port) {
  uint8_t request[kDiscoveryRequestSize];
  BuildRequest(kDiscoveryRequestCode, request);
  return SendDatagram(platform::MakeSocketAddress(NetworkOrderFromHost(target_), port), request, sizeof request);
}

int CPingSocket::ReceiveDiscoveryAnswer(uint8_t (&answer)[kDiscoveryAnswerSize], platform::SocketAddress* source) {
  uint8_t buffer[kDiscoveryReceiveBufferSize];
  return Receive(buffer, sizeof buffer, kDiscoveryAnswerSize, answer, source);
}

bool CPingSocket::SendConfigQuery() {
  uint8_t query[kConfigQuerySize];
  BuildRequest(kConfigQueryCode, query);
  SendDatagram(platform::MakeSocketAddress(kLimitedBroadcast, kDiscoveryPort), query, sizeof query);
  SendDatagram(platform::MakeSocketAddress(NetworkOrderFromHost(target_), kDiscoveryPort), query, sizeof query);
  return true;
}

int CPingSocket::ReceiveConfigAnswer(uint8_t (&record)[kConfigAnswerSize], platform::SocketAddress* source) {
  // One byte more than an answer, so a longer datagram shows as what it is.
  uint8_t buffer[kConfigAnswerSize + 1];
  return Receive(buffer, sizeof buffer, kConfigAnswerSize, record, source);
}

bool CPingSocket::SendDatagram(const platform::SocketAddress& to, const void* bytes, size_t length) {
  if (!IsValid()) return false;
  return platform::SendDatagram(socket_, bytes, length, to) == static_cast<long>(length);
}

// Linux's pending-byte count reads 0 for an empty datagram, which would leave it
// blocking the socket for good; asking whether any datagram waits lets it be read
// and dropped like any other datagram of the wrong length. A datagram longer than
// the buffer is cut to it; each buffer is longer than its answer, so a cut datagram
// still reads as the wrong length.
int CPingSocket::Receive(uint8_t* buffer, size_t bufferSize, size_t expected, uint8_t* out,
                         platform::SocketAddress* source) {
  *source = platform::SocketAddress();
  if (!IsValid() || !platform::DatagramWaiting(socket_)) return kNothingReceived;
  platform::SocketAddress from;
  const long received = platform::ReceiveDatagram(socket_, buffer, bufferSize, &from);
  if (received < 0 || static_cast<size_t>(received) != expected) return kWrongDatagram;
  std::memcpy(out, buffer, expected);
  *source = from;
  return kAnswerReceived;
}
