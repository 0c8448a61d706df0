// Everything a gateway sends while the launcher logs in and asks the version: the
// input is the byte stream from the gateway's side of one connection. Challenge,
// login and version must end, one way or the other, without reading outside a
// message; a gateway that stops short is given up by the inactivity time-out,
// which the movable clock reaches without real waiting.
#include <cstddef>
#include <cstdint>

#include "platform/clock.h"
#include "platform/socket.h"
#include "remote/gateway_manager.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

struct Harness {
  platform::MovableClock clock;
  platform::ScopedClockOverride useClock{&clock};
  platform::SocketHandle listener = platform::kInvalidSocket;
  uint16_t port = 0;
  Harness() {
    uint32_t loopback = 0;
    Check(platform::ParseDottedQuad("127.0.0.1", &loopback));
    platform::SocketAddress bound;
    listener = platform::ListenTcp(platform::MakeSocketAddress(loopback, 0), 4, &bound);
    Check(listener != platform::kInvalidSocket);
    port = platform::HostPort(bound);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Harness* harness = new Harness;
  CConnectionGatewayMgr manager("Quorvex: 12-34-56", "127.0.0.1", harness->port, 0, nullptr);
  Check(manager.connected);
  const platform::SocketHandle gateway = platform::Accept(harness->listener, nullptr);
  // Small inputs fit the connection's buffers whole; the gateway never reads.
  if (size > 0) Check(platform::SendSome(gateway, data, size) == static_cast<long>(size));
  if (manager.LoginToGateway("Quorvex: 12-34-56", "secret", 0) && manager.GetVersion()) {
    Check(manager.socket->isOpen);
  } else {
    Check(!manager.GetErrorText().empty());
  }
  manager.closeOnDispose = true;
  platform::CloseSocket(gateway);
  return 0;
}
