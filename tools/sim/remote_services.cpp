#include "tools/sim/remote_services.h"

#include "platform/network_tables.h"
#include "tools/sim/simulated_system.h"

bool StartRemoteServices(const SimRemoteOptions& options, const SimulatedSystem& system,
                         SimDiscoveryService* discovery, SimRelayServer* relay, std::string* error) {
  if (options.discoveryService) {
    SimDiscoveryServiceConfig config = options.discovery;
    SimRemoteSystem known;
    known.name = system.Config().systemName;
    known.address = options.lookupAddress.empty() ? FormatIPv4(system.Address()) : options.lookupAddress;
    known.port = options.lookupPort >= 0 ? static_cast<uint16_t>(options.lookupPort) : system.Port();
    known.publicPortOpen = options.publicPortOpen;
    known.relayMode = options.relayMode;
    config.systems.push_back(known);
    if (!discovery->Start(config)) {
      *error = "discovery service: " + discovery->Error();
      return false;
    }
  }
  if (options.relay) {
    SimRelayConfig config = options.relayServer;
    config.systemName = system.Config().systemName;
    config.gatewayAddress = system.Address();
    config.gatewayPort = system.Port();
    if (!relay->Start(config)) {
      *error = "relay server: " + relay->Error();
      discovery->Stop();
      return false;
    }
  }
  return true;
}
