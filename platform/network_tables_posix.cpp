// The network tables from getifaddrs. /sys is never read: inside a network
// namespace it still shows the links of the root namespace.
#include "platform/network_tables.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

constexpr char kSubnetsVariable[] = "TIDEWATCHER_SUBNETS";

bool IsEthernetAdapter(const ifaddrs* entry) {
  if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_PACKET) return false;
  if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) return false;
  const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
  return link->sll_halen == 6;
}

class SystemNetworkTables : public NetworkTables {
 public:
  bool Adapters(std::vector<HardwareAddress>* out) override {
    out->clear();
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
      if (!IsEthernetAdapter(entry)) continue;
      const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
      HardwareAddress address{};
      std::memcpy(address.data(), link->sll_addr, address.size());
      out->push_back(address);
    }
    freeifaddrs(list);
    if (out->size() > kMaxAdapters) {
      out->clear();
      return false;
    }
    return true;
  }

  bool IPv4Addresses(std::vector<AddressRow>* out) override {
    out->clear();
    if (const char* subnets = std::getenv(kSubnetsVariable)) return OverrideRows(subnets, out);
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
      if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
      AddressRow row;
      row.address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr;
      if (entry->ifa_netmask != nullptr) row.mask = reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr;
      out->push_back(row);
    }
    freeifaddrs(list);
    return true;
  }

 private:
  // A broken override must never fall back to the real table: that would sweep the
  // real network when the user meant to keep to a test subnet.
  bool OverrideRows(const char* text, std::vector<AddressRow>* out) {
    if (ParseSubnetRows(text, out)) return true;
    if (!warned_) {
      std::fprintf(stderr, "tidewatcher: %s=\"%s\" is not a list of ADDRESS/PREFIX rows; no local addresses are used\n",
                   kSubnetsVariable, text);
      warned_ = true;
    }
    return true;
  }

  bool warned_ = false;
};

std::atomic<NetworkTables*> g_override{nullptr};

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

bool ParsePrefix(const std::string& text, int* prefix) {
  if (text.empty() || text.size() > 2) return false;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value > 32) return false;
  *prefix = value;
  return true;
}

bool ParseRow(const std::string& item, AddressRow* row) {
  const std::string text = Trimmed(item);
  const size_t slash = text.find('/');
  if (slash == std::string::npos) return false;
  in_addr address{};
  if (inet_pton(AF_INET, text.substr(0, slash).c_str(), &address) != 1) return false;
  int prefix = 0;
  if (!ParsePrefix(text.substr(slash + 1), &prefix)) return false;
  const uint32_t hostMask = prefix == 0 ? 0u : 0xFFFFFFFFu << (32 - prefix);
  row->address = address.s_addr;
  row->mask = htonl(hostMask);
  return true;
}

}  // namespace

bool OnlyLoopbackLinks() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool onlyLoopback = true;
  // Every link shows here, with or without an address of any family.
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if ((entry->ifa_flags & IFF_LOOPBACK) == 0) onlyLoopback = false;
  }
  freeifaddrs(list);
  return onlyLoopback;
}

bool ParseSubnetRows(const std::string& text, std::vector<AddressRow>* rows) {
  rows->clear();
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    AddressRow row;
    if (!ParseRow(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start), &row)) {
      rows->clear();
      return false;
    }
    rows->push_back(row);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

NetworkTables& CurrentNetworkTables() {
  static SystemNetworkTables systemTables;
  NetworkTables* chosen = g_override.load();
  return chosen != nullptr ? *chosen : systemTables;
}

ScopedNetworkTablesOverride::ScopedNetworkTablesOverride(NetworkTables* tables)
    : previous_(g_override.exchange(tables)) {}
ScopedNetworkTablesOverride::~ScopedNetworkTablesOverride() { g_override = previous_; }

}  // namespace platform

std::string FormatIPv4(uint32_t networkOrderAddress) {
  uint8_t bytes[4];
  std::memcpy(bytes, &networkOrderAddress, sizeof bytes);
  char text[16];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
  return text;
}
