// Asking the internet discovery service where a remote system is. The service
// knows, for each registered system name, the public address and port of its
// gateway, whether that port is open from outside and whether the connection must
// go through the relay server. One lookup per remote connect: the client lives in
// the process-wide slot theDiscoveryClient from ConnectDiscoveryService to
// DisposeDiscoveryClient. Progress goes to a CStatusSink as status lines.
//
// Messages (header queryId 0 in requests; items in this order):
//   SystemLookupQuery  18003  string system name, string service name
//   SystemLookupAnswer 18004  byte found (0: unknown), byte (not interpreted),
//                             string address (dotted IPv4), short port,
//                             byte public port open, byte relay mode
//   DiscoveryError     18000  string the service's reason for refusing
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "remote/socket_zk.h"

class CStatusSink;

constexpr int32_t kDiscoveryTimeoutMs = 60000;
// The service name a configurator's lookup carries in place of the system name.
constexpr char kConfiguratorServiceName[] = "Kelventra Service";

// Where the service says a system is.
struct SystemLocation {
  std::string address;
  uint16_t port = 0;
  int32_t publicPortOpen = 0;
  int32_t relayMode = 0;
};

// Reads the service's reply to a lookup (one whole message, header included):
// true with the location of a found system, false with the error text otherwise.
// Items a short answer lacks count as 0 (the address as empty), so a missing
// found byte reads as "not found".
bool ReadDiscoveryReply(const uint8_t* message, SystemLocation* location, std::string* errorText);

class CDiscoveryServiceClient {
 public:
  // Connects to the service at once.
  CDiscoveryServiceClient(const uint8_t address[4], uint16_t port);
  virtual ~CDiscoveryServiceClient();
  CDiscoveryServiceClient(const CDiscoveryServiceClient&) = delete;
  CDiscoveryServiceClient& operator=(const CDiscoveryServiceClient&) = delete;

  // Sends the lookup and waits for the first answer; true when the system was
  // found, its whereabouts then in the fields below.
  bool LookupSystem(const std::string& systemName, const std::string& serviceName);
  const std::string& GetErrorText() const { return errorText_; }

  bool connected = false;
  std::unique_ptr<CSocketZk> socket;
  std::string foundAddress;
  uint16_t foundPort = 0xFFFF;
  int32_t publicPortOpen = 0;
  int32_t relayMode = 0;

 private:
  bool AwaitAnswer();

  std::string errorText_;
};

// The one client of the process; null when there is none.
extern CDiscoveryServiceClient* theDiscoveryClient;

// Connects unless a client exists already; false when the connect failed (the
// failed client stays in the slot until DisposeDiscoveryClient).
bool ConnectDiscoveryService(const uint8_t address[4], uint16_t port, CStatusSink* sink);
// Connects and looks the system up, reporting every step; true when found.
bool FindRemoteSystem(const std::string& systemName, const std::string& serviceName, const uint8_t address[4],
                      uint16_t port, CStatusSink* sink);
// Deletes the client, if any, which ends its connection.
void DisposeDiscoveryClient();
// The client's error text; "No Instance created" without a client.
std::string GetDiscoveryError();
// The found address of a connected client; empty otherwise.
std::string GetFoundAddress();
