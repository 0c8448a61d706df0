// The internet discovery service, simulated: a TCP server (port 500 by default)
// that answers each SystemLookupQuery (18003: system name, service name) with a
// SystemLookupAnswer (18004) for the systems it knows and "not found" for the
// others; or, as told, with a DiscoveryError (18000) carrying a reason, with a
// message of another code, or not at all. It runs on threads of its own
// (tcp_service.h), inside a test or in tidewatcher-sim.
//
// SystemLookupAnswer payload, item by item, no padding between items:
//   byte    found (1, or 0 for a system it does not know)
//   byte    0
//   string  address (int n, n bytes, zero padding to a multiple of 4)
//   short   port
//   byte    public port open
//   byte    relay mode
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/socket.h"
#include "tools/sim/sim_config.h"
#include "tools/sim/tcp_service.h"

constexpr uint16_t kDiscoveryServicePortDefault = 500;

// A system the service knows and what it tells about it.
struct SimRemoteSystem {
  std::string name;
  std::string address;  // dotted text, as the service gives it
  uint16_t port = 80;
  uint8_t publicPortOpen = 1;
  uint8_t relayMode = 0;
};

enum class LookupReply {
  kAnswer,  // 18004, found or not
  kError,   // 18000 with SimDiscoveryServiceConfig::errorText
  kCode,    // an empty message of SimDiscoveryServiceConfig::replyCode
  kSilent,  // nothing; the connection stays open
};

struct SimDiscoveryServiceConfig {
  uint32_t bindAddress = NetworkOrderAddress(127, 0, 0, 1);
  uint16_t port = kDiscoveryServicePortDefault;
  std::vector<SimRemoteSystem> systems;
  LookupReply reply = LookupReply::kAnswer;
  std::string errorText = "Service unavailable";
  uint16_t replyCode = 18001;
};

// One lookup as it arrived.
struct SimLookup {
  std::string systemName;
  std::string serviceName;
};

class SimDiscoveryService {
 public:
  SimDiscoveryService() = default;
  ~SimDiscoveryService() { Stop(); }

  // False with Error() set when the address cannot be bound.
  bool Start(const SimDiscoveryServiceConfig& config);
  void Stop() { service_.Stop(); }

  uint16_t Port() const { return service_.Port(); }
  const std::string& Error() const { return error_; }
  size_t ConnectionCount() const { return service_.ConnectionCount(); }
  std::vector<SimLookup> Lookups() const;
  // Waits (real time) until `count` lookups have arrived.
  bool WaitForLookups(size_t count, int timeoutMs) const;

  // The answer the service gives for `systemName` (reply kAnswer).
  static std::vector<uint8_t> LookupAnswer(const SimDiscoveryServiceConfig& config, const std::string& systemName);

 private:
  void Serve(platform::SocketHandle connection);
  std::vector<uint8_t> Reply(const std::vector<uint8_t>& request);

  SimDiscoveryServiceConfig config_;
  std::string error_;
  TcpService service_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<SimLookup> lookups_;
};
