// The relay server, simulated: a TCP server (port 7576 by default) that reads the
// 38-byte request of a launcher that cannot reach a gateway directly, connects to
// the named system's gateway, answers with a few bytes and from then on passes the
// bytes through both ways until either side ends. Faults: silent (reads the
// request, answers nothing, keeps the connection open) and close (closes at once
// after the request). It runs on threads of its own (tcp_service.h).
//
// Request, 38 bytes: the system name zero-filled to 32 bytes, the public port
// (uint16 little-endian), 4 zero bytes. A name it does not know closes the
// connection.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/socket.h"
#include "tools/sim/sim_config.h"
#include "tools/sim/tcp_service.h"

constexpr uint16_t kRelayServerPortDefault = 7576;
constexpr size_t kRelayRequestBytes = 38;

enum class RelayFault { kNone, kSilent, kClose };

struct SimRelayConfig {
  uint32_t bindAddress = NetworkOrderAddress(127, 0, 0, 1);
  uint16_t port = kRelayServerPortDefault;
  // The one system it knows and where its gateway listens (network order, host order).
  std::string systemName;
  uint32_t gatewayAddress = NetworkOrderAddress(127, 0, 0, 1);
  uint16_t gatewayPort = 0;
  // What it sends once the gateway connection stands.
  std::string acceptBytes = "OK";
  RelayFault fault = RelayFault::kNone;
};

class SimRelayServer {
 public:
  SimRelayServer() = default;
  ~SimRelayServer() { Stop(); }

  bool Start(const SimRelayConfig& config);
  void Stop() { service_.Stop(); }

  uint16_t Port() const { return service_.Port(); }
  const std::string& Error() const { return error_; }
  size_t ConnectionCount() const { return service_.ConnectionCount(); }
  // Every complete request, as it arrived.
  std::vector<std::vector<uint8_t>> Requests() const;
  bool WaitForRequests(size_t count, int timeoutMs) const;
  // Connections that have ended, whoever ended them.
  size_t ClosedCount() const;
  bool WaitForClosed(size_t count, int timeoutMs) const;

 private:
  void Serve(platform::SocketHandle client);
  bool ReadRequest(platform::SocketHandle client, std::vector<uint8_t>* request);
  void Relay(platform::SocketHandle client, platform::SocketHandle gateway);
  void Record(const std::vector<uint8_t>* request, bool closed);

  SimRelayConfig config_;
  std::string error_;
  TcpService service_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<std::vector<uint8_t>> requests_;
  size_t closed_ = 0;
};
