#include "remote/service_hosts.h"

#include <cstdlib>

#ifndef TW_DISCOVERY_HOST
#error "TW_DISCOVERY_HOST must name the discovery server (remote/CMakeLists.txt)"
#endif
#ifndef TW_RELAY_HOST
#error "TW_RELAY_HOST must name the relay server (remote/CMakeLists.txt)"
#endif

namespace {

// An empty variable counts as unset: it cannot name a host.
std::string FromEnvironment(const char* variable, const char* builtIn) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0' ? value : builtIn;
}

}  // namespace

std::string DiscoveryHostName() { return FromEnvironment(kDiscoveryHostVariable, TW_DISCOVERY_HOST); }
std::string RelayHostName() { return FromEnvironment(kRelayHostVariable, TW_RELAY_HOST); }
