// tidewatcher-sim: the simulated pool system as a process of its own, for the demo,
// manual runs and tests that drive the launcher binaries. Serves until SIGINT or
// SIGTERM, then stops cleanly.
#include <iostream>
#include <string>
#include <vector>

#include "platform/network_tables.h"
#include "platform/signals.h"
#include "platform/text_encoding.h"
#include "tools/sim/sim_options.h"
#include "tools/sim/simulated_system.h"

namespace {

void LogRequest(const ReceivedRequest& request) {
  std::cerr << "tidewatcher-sim: connection " << request.connection << " request " << request.code << " queryId "
            << request.queryId << " length " << request.payload.size() << std::endl;
}

void LogDatagram(const ReceivedDatagram& datagram) {
  std::cerr << "tidewatcher-sim: datagram from " << FormatIPv4(datagram.from.address) << ":"
            << platform::HostPort(datagram.from) << " length " << datagram.bytes.size()
            << (datagram.heardOnSecond ? " (second address)" : "") << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  SimOptions options;
  std::string error;
  if (!ParseSimOptions(args, &options, &error)) {
    std::cerr << "tidewatcher-sim: " << platform::Latin1ToUtf8(error) << std::endl;
    return 2;
  }
  if (options.help) {
    std::cout << SimUsage() << std::flush;
    return 0;
  }
  if (options.version) {
    std::cout << "tidewatcher-sim " << TW_SIM_VERSION << std::endl;
    return 0;
  }
  // Before any thread exists, so that only the main thread takes the signals.
  if (!platform::BlockTerminationSignals()) {
    std::cerr << "tidewatcher-sim: cannot block the termination signals" << std::endl;
    return 1;
  }
  SimulatedSystem system;
  if (options.log) {
    system.SetRequestObserver(LogRequest);
    system.SetDatagramObserver(LogDatagram);
  }
  if (!system.Start(options.config)) {
    std::cerr << "tidewatcher-sim: " << system.Error() << std::endl;
    return 1;
  }
  std::cout << "tidewatcher-sim: protocol service on " << FormatIPv4(system.Address()) << ":" << system.Port()
            << std::endl;
  if (options.config.discovery.enabled) {
    std::cout << "tidewatcher-sim: discovery answers on UDP " << FormatIPv4(system.Address()) << ":"
              << kAdapterUdpPort << std::endl;
  }
  if (options.config.holdGatewayMutex) std::cout << "tidewatcher-sim: holding GatewayMutex" << std::endl;
  SimDiscoveryService discoveryService;
  SimRelayServer relayServer;
  if (!StartRemoteServices(options.remote, system, &discoveryService, &relayServer, &error)) {
    std::cerr << "tidewatcher-sim: " << error << std::endl;
    system.Stop();
    return 1;
  }
  if (options.remote.discoveryService) {
    std::cout << "tidewatcher-sim: discovery service on " << FormatIPv4(options.remote.discovery.bindAddress) << ":"
              << discoveryService.Port() << std::endl;
  }
  if (options.remote.relay) {
    std::cout << "tidewatcher-sim: relay server on " << FormatIPv4(options.remote.relayServer.bindAddress) << ":"
              << relayServer.Port() << std::endl;
  }
  platform::WaitForTerminationSignal();
  relayServer.Stop();
  discoveryService.Stop();
  system.Stop();
  return 0;
}
