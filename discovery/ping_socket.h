// CPingSocket: one UDP socket with broadcast enabled, aimed at one IPv4 address.
// Discovery keeps one per address of each small local subnet (the subnet's
// broadcast address included) and the IP configuration uses one to reach an
// adapter. The socket is never bound: its first send gives it an ephemeral port,
// and the answers to that send come back to it.
//
// Nothing here blocks. A receive only reads when a datagram is waiting, and takes
// exactly one datagram, also an empty one, so a bad datagram can never stall the
// socket. A socket that could not be made stays in use with an invalid handle: it
// sends nothing and receives nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "discovery/datagrams.h"
#include "platform/socket.h"

// Results of the two receive operations.
constexpr int kNothingReceived = 0;
constexpr int kWrongDatagram = 1;  // one datagram consumed, not of the expected length (or the read failed)
constexpr int kAnswerReceived = 2;

class CPingSocket {
 public:
  // target: IPv4 address in host byte order.
  explicit CPingSocket(uint32_t target);
  virtual ~CPingSocket();
  CPingSocket(const CPingSocket&) = delete;
  CPingSocket& operator=(const CPingSocket&) = delete;

  // A DiscoveryRequest to (target, port); true when all 8 bytes went out.
  bool SendDiscoveryRequest(uint16_t port);
  // kNothingReceived, kWrongDatagram, or kAnswerReceived with the 40 bytes and
  // the sender in *source (cleared first in every case).
  int ReceiveDiscoveryAnswer(uint8_t (&answer)[kDiscoveryAnswerSize], platform::SocketAddress* source);

  // A ConfigQuery to 255.255.255.255:1444, then to the target's port 1444.
  // Always reports success: the answers, not the sends, tell what happened.
  bool SendConfigQuery();
  // As ReceiveDiscoveryAnswer, for 100-byte ConfigAnswers.
  int ReceiveConfigAnswer(uint8_t (&record)[kConfigAnswerSize], platform::SocketAddress* source);
  // True when the whole length was sent.
  bool SendDatagram(const platform::SocketAddress& to, const void* bytes, size_t length);

  bool IsValid() const { return socket_ != platform::kInvalidSocket; }
  uint32_t GetTarget() const { return target_; }
  platform::SocketHandle GetHandle() const { return socket_; }

 private:
  int Receive(uint8_t* buffer, size_t bufferSize, size_t expected, uint8_t* out, platform::SocketAddress* source);

  platform::SocketHandle socket_ = platform::kInvalidSocket;
  uint32_t target_;
};
