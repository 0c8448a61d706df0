// Feeds the connection manager a byte stream cut into arbitrary pieces, as a
// hostile or broken system might send it, and pumps after every piece: the socket
// engine's reassembly, its length checks and the manager's set-aside list must never
// read or write outside their buffers.
//
// Input: repeated [piece length byte][that many stream bytes]. The low bits of the
// length byte pick the identifier the pump waits for.
#include <cstddef>
#include <cstdint>

#include "local/zk_server.h"
#include "platform/socket.h"

namespace {

void PumpUntilQuiet(CZkServer& server, uint16_t id) {
  for (int i = 0; i < 64; ++i) {
    if (server.Pump(id, 0) != 2) return;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static CZkServer* server = [] {
    theServer = new CZkServer;
    return theServer;
  }();
  platform::SocketHandle nearEnd, farEnd;
  if (!platform::CreateStreamPair(&nearEnd, &farEnd)) return 0;
  server->GetSocket()->Close();
  server->GetSocket()->Adopt(nearEnd);

  size_t at = 0;
  while (at < size && server->IsConnected()) {
    const uint8_t control = data[at++];
    size_t piece = static_cast<size_t>(control >> 2) + 1;
    if (piece > size - at) piece = size - at;
    if (piece > 0 && platform::SendSome(farEnd, data + at, piece) != static_cast<long>(piece)) break;
    at += piece;
    PumpUntilQuiet(*server, static_cast<uint16_t>(control & 3));
  }
  platform::CloseSocket(farEnd);
  PumpUntilQuiet(*server, 1);
  server->GetSocket()->Close();
  return 0;
}
