#include "discovery/local_addresses.h"

#include <cstring>
#include <vector>

#include "platform/network_tables.h"

int GetLocalAddressCount() {
  std::vector<platform::AddressRow> rows;
  if (!platform::CurrentNetworkTables().IPv4Addresses(&rows)) return 0;
  return static_cast<int>(rows.size());
}

bool GetLocalAddress(int index, uint32_t* mask, uint32_t* address) {
  std::vector<platform::AddressRow> rows;
  if (!platform::CurrentNetworkTables().IPv4Addresses(&rows)) return false;
  if (index < 0 || static_cast<size_t>(index) >= rows.size()) return false;
  *mask = rows[static_cast<size_t>(index)].mask;
  *address = rows[static_cast<size_t>(index)].address;
  return true;
}

uint32_t HostOrderFromNetwork(uint32_t networkOrder) {
  uint8_t bytes[4];
  std::memcpy(bytes, &networkOrder, sizeof bytes);
  return (static_cast<uint32_t>(bytes[0]) << 24) | (static_cast<uint32_t>(bytes[1]) << 16) |
         (static_cast<uint32_t>(bytes[2]) << 8) | bytes[3];
}

uint32_t NetworkOrderFromHost(uint32_t hostOrder) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(hostOrder >> 24), static_cast<uint8_t>(hostOrder >> 16),
                            static_cast<uint8_t>(hostOrder >> 8), static_cast<uint8_t>(hostOrder)};
  uint32_t networkOrder;
  std::memcpy(&networkOrder, bytes, sizeof networkOrder);
  return networkOrder;
}
