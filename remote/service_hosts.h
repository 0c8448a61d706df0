// Where the internet services live: the host names of the discovery server and
// the relay server. Both are built in when the program is configured (the CMake
// cache values TW_DISCOVERY_HOST and TW_RELAY_HOST), and the environment
// variables TIDEWATCHER_DISCOVERY_HOST and TIDEWATCHER_RELAY_HOST (a host name or
// a dotted address, no port) replace them at run time, so a test or a demo can
// point the launcher at services on loopback.
#pragma once

#include <string>

constexpr char kDiscoveryHostVariable[] = "TIDEWATCHER_DISCOVERY_HOST";
constexpr char kRelayHostVariable[] = "TIDEWATCHER_RELAY_HOST";

std::string DiscoveryHostName();
std::string RelayHostName();
