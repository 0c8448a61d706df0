// Dotted addresses as a file, a service or a user may write them. Input: a prefix
// length (first byte, 0-7), that many prefix bytes, then the text. The parse must
// stay inside the text, and reading a port only ever adds a condition: an address
// read with its port reads the same without it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "remote/dotted_address.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t prefixLength = data[0] & 7;
  if (prefixLength > size - 1) prefixLength = size - 1;
  const std::string prefix(reinterpret_cast<const char*>(data + 1), prefixLength);
  const std::string text(reinterpret_cast<const char*>(data + 1 + prefixLength), size - 1 - prefixLength);
  uint8_t withPort[4] = {}, without[4] = {};
  int32_t port = 0;
  const bool parsedWithPort =
      ParseDottedAddress(text, prefix, &withPort[0], &withPort[1], &withPort[2], &withPort[3], &port);
  const bool parsed = ParseDottedAddress(text, prefix, &without[0], &without[1], &without[2], &without[3], nullptr);
  if (parsedWithPort) {
    Check(parsed);
    for (int i = 0; i < 4; ++i) Check(withPort[i] == without[i]);
  }
  return 0;
}
