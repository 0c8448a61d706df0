// tidewatcher: the launcher without a window, for scripts, terminals and tests.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/descriptor_limit.h"
#include "platform/process.h"
#include "tools/cli/discover_command.h"
#include "tools/cli/ipconfig_command.h"
#include "tools/cli/launch_command.h"
#include "tools/cli/status_printer.h"
#include "versions/version.h"

namespace {

constexpr char kUsage[] =
    "usage: tidewatcher COMMAND [OPTIONS]\n"
    "\n"
    "Finds a pool system and starts its client without a window.\n"
    "\n"
    "Commands:\n"
    "  discover [--seconds S] [--json]\n"
    "      Runs local discovery for S seconds (default 3) and prints the Local Systems\n"
    "      list, one line per system, or as a JSON array.\n"
    "  launch [--configure] [--password P] [--remember | --no-remember]\n"
    "         [--select NAME] [--discover-seconds S] [SYSTEM]\n"
    "      Starts the viewer (the configurator with --configure) for SYSTEM: a system\n"
    "      name, an address, or address:port. --select picks a local system by name\n"
    "      from discovery first. Prints every status line and waits for the client.\n"
    "  ipconfig (NAME | ADDRESS) [--set IP MASK GATEWAY DNS | --dhcp] [--discover-seconds S]\n"
    "      Reads the IP configuration of a local system's adapter (found by name or\n"
    "      address) and prints it; sets it with --set, or to DHCP with --dhcp. Exit 1\n"
    "      when the adapter does not answer.\n"
    "\n"
    "Options:\n"
    "  --help      this text\n"
    "  --version   the launcher's version\n"
    "\n"
    "Environment:\n"
    "  TIDEWATCHER_SUBNETS         replaces the local address table for discovery and\n"
    "                              ipconfig (comma-separated ADDRESS/PREFIX rows, each\n"
    "                              this host's own address)\n"
    "  TIDEWATCHER_DISCOVERY_HOST  the discovery service's host instead of the built-in one\n"
    "  TIDEWATCHER_RELAY_HOST      the relay server's host instead of the built-in one\n"
    "\n"
    "Exit status: 0 done, 1 failed, 2 usage error.\n";

}  // namespace

int main(int argc, char** argv) {
  platform::ResetChildSignal();
  platform::RaiseDescriptorLimit();
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string command = argv[1];
  const std::vector<std::string> rest(argv + 2, argv + argc);
  if (command == "--help" || command == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "--version") {
    std::printf("tidewatcher %s\n", kLauncherVersionText);
    return 0;
  }
  if (command == "discover") return RunDiscoverCommand(rest);
  if (command == "launch") return RunLaunchCommand(rest);
  if (command == "ipconfig") return RunIpconfigCommand(rest);
  PrintError("unknown command \"" + command + "\"; try tidewatcher --help");
  return 2;
}
