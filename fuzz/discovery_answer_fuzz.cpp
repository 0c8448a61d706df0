// The discovery service's reply to a lookup, whatever it holds: the input is the
// code (2 bytes, little-endian) and the payload of one message. The reader must
// stay inside the message, and report either a location or an error text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "remote/discovery_client.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint32_t length = static_cast<uint32_t>(size - 2);
  std::vector<uint8_t> message = {0, 0, data[0], data[1], static_cast<uint8_t>(length),
                                  static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length >> 16),
                                  static_cast<uint8_t>(length >> 24)};
  message.insert(message.end(), data + 2, data + size);
  SystemLocation location;
  std::string error;
  if (ReadDiscoveryReply(message.data(), &location, &error)) {
    Check(error.empty());
    Check(location.address.size() < size);
  } else {
    Check(location.address.empty() && location.port == 0);
  }
  return 0;
}
