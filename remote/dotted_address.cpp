#include "remote/dotted_address.h"

namespace {

// The text up to the first carriage return or line feed.
std::string ToLineEnd(const std::string& text) { return text.substr(0, text.find_first_of("\r\n")); }

void Store(uint8_t* output, uint32_t value) {
  if (output != nullptr) *output = static_cast<uint8_t>(value);
}

}  // namespace

uint32_t LeadingDecimal(const std::string& text) {
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10u + static_cast<uint32_t>(c - '0');
  }
  return value;
}

bool ParseDottedAddress(const std::string& text, const std::string& prefix, uint8_t* byte1, uint8_t* byte2,
                        uint8_t* byte3, uint8_t* byte4, int32_t* port) {
  size_t at = 0;
  if (!prefix.empty()) {
    const size_t found = text.find(prefix);
    if (found == std::string::npos) return false;
    at = found + prefix.size();
  }
  uint32_t numbers[4] = {};
  for (int i = 0; i < 3; ++i) {
    const size_t dot = text.find('.', at);
    if (dot == std::string::npos) return false;
    numbers[i] = LeadingDecimal(text.substr(at, dot - at));
    at = dot + 1;
  }
  const std::string rest = text.substr(at);
  uint32_t portValue = 0;
  if (port == nullptr) {
    numbers[3] = LeadingDecimal(ToLineEnd(rest));
  } else {
    const size_t colon = rest.find(':');
    if (rest.empty() || colon == std::string::npos) return false;
    numbers[3] = LeadingDecimal(rest.substr(0, colon));
    portValue = LeadingDecimal(ToLineEnd(rest.substr(colon + 1)));
  }
  Store(byte1, numbers[0]);
  Store(byte2, numbers[1]);
  Store(byte3, numbers[2]);
  Store(byte4, numbers[3]);
  if (port != nullptr) *port = static_cast<int32_t>(portValue);
  return true;
}
