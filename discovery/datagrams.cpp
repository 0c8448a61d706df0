#include "discovery/datagrams.h"

#include <algorithm>

static_assert(kDiscoveryRequestSize == kConfigQuerySize, "both requests share one layout");
static_assert(kAnswerNameOffset + kAnswerNameSize == kDiscoveryAnswerSize, "the name ends the answer");

namespace {

void PutU32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

DiscoveryAnswer ParseDiscoveryAnswer(const uint8_t (&bytes)[kDiscoveryAnswerSize]) {
  DiscoveryAnswer answer;
  answer.port = static_cast<uint16_t>(bytes[kAnswerPortOffset] | (bytes[kAnswerPortOffset + 1] << 8));
  answer.gatewayType = bytes[kAnswerTypeOffset];
  answer.gatewaySubtype = bytes[kAnswerSubtypeOffset];
  // The name never reaches beyond its field, terminated or not.
  const uint8_t* name = bytes + kAnswerNameOffset;
  const uint8_t* end = std::find(name, name + kAnswerNameSize, 0);
  answer.name.assign(name, end);
  return answer;
}

void BuildRequest(uint32_t code, uint8_t (&bytes)[kDiscoveryRequestSize]) {
  PutU32(bytes, code);
  PutU32(bytes + 4, 0);
}
