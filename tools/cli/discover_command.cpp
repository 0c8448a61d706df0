// Runs local discovery for a while and prints the Local Systems list as the
// window would show it.
#include "tools/cli/discover_command.h"

#include <cstdio>

#include "discovery/local_discovery.h"
#include "platform/clock.h"
#include "platform/network_tables.h"
#include "platform/text_encoding.h"
#include "tools/cli/arguments.h"
#include "tools/cli/sorted_system_list.h"
#include "tools/cli/status_printer.h"

namespace {

constexpr long kDefaultSeconds = 3;
constexpr uint32_t kTickMs = 300;

std::string JsonText(const std::string& latin1) {
  std::string out = "\"";
  for (char c : platform::Latin1ToUtf8(latin1)) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

void PrintJson(SortedSystemList& list) {
  std::printf("[");
  for (int i = 0; i < list.LineCount(); ++i) {
    const LocalSystemEntry* entry = list.EntryAt(i);
    if (entry == nullptr) continue;
    std::printf("%s\n  {\"name\": %s, \"address\": \"%s\", \"port\": %u, \"gatewayType\": %u, \"gatewaySubtype\": %u}",
                i == 0 ? "" : ",", JsonText(entry->name).c_str(), FormatIPv4(entry->address).c_str(), entry->port,
                entry->gatewayType, entry->gatewaySubtype);
  }
  std::printf("%s]\n", list.LineCount() > 0 ? "\n" : "");
}

}  // namespace

int RunDiscoverCommand(const std::vector<std::string>& words) {
  Arguments arguments(words);
  long seconds = kDefaultSeconds;
  bool json = false;
  while (!arguments.AtEnd()) {
    std::string value;
    bool missing = false;
    if (arguments.TakeOption("--seconds", &value, &missing)) {
      if (missing || !ParseCount(value, &seconds)) {
        PrintError("--seconds needs a whole number of seconds");
        return 2;
      }
    } else if (arguments.TakeFlag("--json")) {
      json = true;
    } else {
      PrintError("unknown argument to discover: " + arguments.Peek() + " (see tidewatcher --help)");
      return 2;
    }
  }

  LocalDiscovery discovery;
  SortedSystemList list;
  discovery.OpenDiscoverySockets();
  platform::Clock& clock = platform::CurrentClock();
  const uint32_t start = clock.TickMs();
  while (ElapsedMs(start) < static_cast<uint32_t>(seconds) * 1000u) {
    discovery.DiscoveryStep(list);
    clock.Sleep(kTickMs);
  }
  discovery.DiscoveryStep(list);
  if (json) {
    PrintJson(list);
  } else {
    for (int i = 0; i < list.LineCount(); ++i) std::printf("%s\n", platform::Latin1ToUtf8(list.TextAt(i)).c_str());
  }
  std::fflush(stdout);
  return 0;
}
