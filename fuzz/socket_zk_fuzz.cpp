// Feeds the remote path's message socket a byte stream cut into arbitrary pieces,
// as a hostile discovery service, relay or gateway might send it, and polls after
// every piece: the reassembly, the length limit and the buffers must never read or
// write outside their bounds, and every message handed out must be whole.
//
// Input: repeated [control byte][piece]. The piece has (control >> 2) + 1 bytes;
// bit 0 of the control byte polls raw bytes instead of messages.
#include <cstddef>
#include <cstdint>

#include "platform/socket.h"
#include "remote/socket_zk.h"

namespace {

constexpr int kPollsPerPiece = 64;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

uint32_t LengthField(const std::vector<uint8_t>& message) {
  return static_cast<uint32_t>(message[4]) | static_cast<uint32_t>(message[5]) << 8 |
         static_cast<uint32_t>(message[6]) << 16 | static_cast<uint32_t>(message[7]) << 24;
}

void Poll(CSocketZk& socket, bool raw) {
  for (int i = 0; i < kPollsPerPiece && socket.isOpen; ++i) {
    if (raw) {
      if (!socket.ReceiveRaw(0)) return;
      Check(!socket.messageBuffer.empty());
    } else {
      // The first call reads what waits; the next ones hand out what it completed.
      if (!socket.ReceiveMessage()) return;
      Check(socket.messageBuffer.size() >= 8);
      Check(LengthField(socket.messageBuffer) <= CSocketZk::kMaxPayload);
      Check(socket.messageBuffer.size() == LengthField(socket.messageBuffer) + 8u);
    }
  }
}

struct Listener {
  platform::SocketHandle socket = platform::kInvalidSocket;
  uint16_t port = 0;
  Listener() {
    uint32_t loopback = 0;
    Check(platform::ParseDottedQuad("127.0.0.1", &loopback));
    platform::SocketAddress bound;
    socket = platform::ListenTcp(platform::MakeSocketAddress(loopback, 0), 4, &bound);
    Check(socket != platform::kInvalidSocket);
    port = platform::HostPort(bound);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Listener* listener = new Listener;
  const uint8_t loopback[4] = {127, 0, 0, 1};
  CSocketZk socket(loopback, listener->port, 60000);
  Check(socket.isOpen);
  const platform::SocketHandle farEnd = platform::Accept(listener->socket, nullptr);
  size_t at = 0;
  bool raw = false;
  while (at < size && socket.isOpen) {
    const uint8_t control = data[at++];
    size_t piece = static_cast<size_t>(control >> 2) + 1;
    if (piece > size - at) piece = size - at;
    if (piece > 0 && platform::SendSome(farEnd, data + at, piece) != static_cast<long>(piece)) break;
    at += piece;
    raw = (control & 1) != 0;
    Poll(socket, raw);
  }
  platform::CloseSocket(farEnd);
  Poll(socket, raw);
  socket.Close("Destructor");
  return 0;
}
