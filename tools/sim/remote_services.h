// The sim's internet side as tidewatcher-sim offers it: the discovery service and
// the relay server, both pointing at the simulated system's own protocol service,
// which plays the system's gateway (it accepts the login form sent through a
// gateway as well as the local one).
#pragma once

#include <cstdint>
#include <string>

#include "tools/sim/discovery_service.h"
#include "tools/sim/relay_server.h"

class SimulatedSystem;

struct SimRemoteOptions {
  bool discoveryService = false;
  // bindAddress, port and the reply; the one system it knows is filled in at start.
  SimDiscoveryServiceConfig discovery;
  std::string lookupAddress;  // empty: the protocol service's address
  int32_t lookupPort = -1;    // -1: the protocol service's port
  uint8_t publicPortOpen = 1;
  uint8_t relayMode = 0;

  bool relay = false;
  // bindAddress, port and the fault; the system and its gateway are filled in at start.
  SimRelayConfig relayServer;
};

// Starts the services asked for, knowing `system` by its name. False with *error
// set when one cannot listen (none is left running then).
bool StartRemoteServices(const SimRemoteOptions& options, const SimulatedSystem& system,
                         SimDiscoveryService* discovery, SimRelayServer* relay, std::string* error);
