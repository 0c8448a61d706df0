#include "tools/sim/udp_service.h"

#include <algorithm>
#include <chrono>

#include "platform/network_tables.h"
#include "platform/socket_errors.h"

namespace {

// The poll interval grows from the first to the second while nothing arrives: quick
// answers to a sweep, little work while idle.
constexpr auto kBusyPause = std::chrono::milliseconds(1);
constexpr auto kIdlePause = std::chrono::milliseconds(10);
// Larger than any datagram of the protocol, so a long one is seen whole.
constexpr size_t kReceiveBuffer = 2048;

}  // namespace

bool UdpService::Start(uint32_t address, uint16_t port, uint32_t secondAddress, Handler handler, SentHandler sent,
                       std::string* error) {
  Stop();
  socket_ = Bind(address, port, error);
  if (socket_ == platform::kInvalidSocket) return false;
  if (secondAddress != 0) {
    second_ = Bind(secondAddress, port, error);
    if (second_ == platform::kInvalidSocket) {
      platform::CloseSocket(socket_);
      socket_ = platform::kInvalidSocket;
      return false;
    }
  }
  handler_ = std::move(handler);
  sent_ = std::move(sent);
  stopping_ = false;
  thread_ = std::thread(&UdpService::Loop, this);
  return true;
}

void UdpService::Stop() {
  if (thread_.joinable()) {
    stopping_ = true;
    thread_.join();
  }
  platform::CloseSocket(socket_);
  platform::CloseSocket(second_);
  socket_ = platform::kInvalidSocket;
  second_ = platform::kInvalidSocket;
}

platform::SocketHandle UdpService::Bind(uint32_t address, uint16_t port, std::string* error) {
  const platform::SocketHandle socket = platform::CreateUdpSocket();
  if (socket != platform::kInvalidSocket && platform::SetReuseAddress(socket, true) &&
      platform::BindUdp(socket, platform::MakeSocketAddress(address, port))) {
    return socket;
  }
  const int code = platform::LastSocketErrorCode();
  *error = "cannot bind UDP " + FormatIPv4(address) + ":" + std::to_string(port) + ": Error #" + std::to_string(code) +
           " " + SocketErrorText(code);
  platform::CloseSocket(socket);
  return platform::kInvalidSocket;
}

void UdpService::Loop() {
  auto pause = kBusyPause;
  while (!stopping_) {
    const bool first = Drain(socket_, false);
    const bool second = second_ != platform::kInvalidSocket && Drain(second_, true);
    pause = (first || second) ? kBusyPause : std::min(pause * 2, kIdlePause);
    std::this_thread::sleep_for(pause);
  }
}

bool UdpService::Drain(platform::SocketHandle socket, bool second) {
  bool any = false;
  Bytes buffer(kReceiveBuffer);
  while (!stopping_ && platform::DatagramWaiting(socket)) {
    platform::SocketAddress from;
    const long received = platform::ReceiveDatagram(socket, buffer.data(), buffer.size(), &from);
    if (received < 0) break;
    any = true;
    const std::vector<Bytes> replies = handler_(from, second, Bytes(buffer.begin(), buffer.begin() + received));
    size_t sent = 0;
    for (const Bytes& reply : replies) {
      if (platform::SendDatagram(socket_, reply.data(), reply.size(), from) == static_cast<long>(reply.size())) ++sent;
    }
    sent_(sent);
  }
  return any;
}
