#include "app/hardware_address.h"

#include <cstdio>
#include <vector>

std::string FormatHardwareAddress(const platform::HardwareAddress& address) {
  char text[sizeof "00-00-00-00-00-00"];
  std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", address[0], address[1],
                address[2], address[3], address[4], address[5]);
  return text;
}

bool FirstAdapterAddressText(std::string* text) {
  std::vector<platform::HardwareAddress> adapters;
  if (!platform::CurrentNetworkTables().Adapters(&adapters) || adapters.empty()) return false;
  *text = FormatHardwareAddress(adapters.front());
  return true;
}
