// "Rivavareda.dat" as anyone may have written it: only a usable address and a
// non-zero port may come out, and nothing beyond the file's first 31 bytes counts.
#include <cstddef>
#include <cstdint>
#include <string>

#include "remote/discovery_server_address.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::string address;
  uint16_t port = 0;
  if (!ParseDiscoveryServerFile(bytes, &address, &port)) return 0;
  Check(port != 0);
  Check(address.size() < static_cast<size_t>(kDiscoveryServerFileBytes));
  Check(address.find('\0') == std::string::npos);
  // The same first 31 bytes decide the same way whatever follows them.
  if (bytes.size() < static_cast<size_t>(kDiscoveryServerFileBytes)) return 0;
  std::string again;
  uint16_t againPort = 0;
  Check(ParseDiscoveryServerFile(bytes.substr(0, kDiscoveryServerFileBytes) + "9:1", &again, &againPort));
  Check(again == address && againPort == port);
  return 0;
}
