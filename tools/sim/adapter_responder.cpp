#include "tools/sim/adapter_responder.h"

#include <cstring>
#include <string>

namespace {

constexpr uint32_t kDiscoveryRequestCode = 1;
constexpr size_t kRequestSize = 8;
constexpr size_t kAnswerSize = 40;
constexpr size_t kNameOffset = 12;
constexpr size_t kNameField = 28;
constexpr uint8_t kIgnoredType = 5;
// Fills the name field of the full-name fault past the end of a shorter name.
constexpr char kNameFiller = '#';

uint32_t U32At(const Datagram& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value |= static_cast<uint32_t>(bytes[at + i]) << (8 * i);
  return value;
}

void PutU32(Datagram& bytes, size_t at, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

std::vector<Datagram> AdapterResponder::Reply(const Datagram& request) const {
  if (request.size() == kRequestSize && U32At(request, 0) == kDiscoveryRequestCode) return DiscoveryReplies();
  return {};
}

std::vector<Datagram> AdapterResponder::DiscoveryReplies() const {
  const SimDiscovery& discovery = config_.discovery;
  Datagram faulty;
  switch (discovery.fault) {
    case DiscoveryFault::kNone:
      return {DiscoveryAnswer(discovery.gatewayType, false)};
    case DiscoveryFault::kWrongLength39:
      faulty = DiscoveryAnswer(discovery.gatewayType, false);
      faulty.pop_back();
      break;
    case DiscoveryFault::kWrongLength41:
      faulty = DiscoveryAnswer(discovery.gatewayType, false);
      faulty.push_back(0);
      break;
    case DiscoveryFault::kEmpty:
      break;
    case DiscoveryFault::kType5:
      faulty = DiscoveryAnswer(kIgnoredType, false);
      break;
    case DiscoveryFault::kFullName:
      faulty = DiscoveryAnswer(discovery.gatewayType, true);
      break;
  }
  if (!discovery.answerAfterFault) return {faulty};
  return {faulty, DiscoveryAnswer(discovery.gatewayType, false)};
}

Datagram AdapterResponder::DiscoveryAnswer(uint8_t gatewayType, bool fullName) const {
  const SimDiscovery& discovery = config_.discovery;
  Datagram answer(kAnswerSize, 0);
  PutU32(answer, 0, kDiscoveryRequestCode);
  std::memcpy(&answer[4], &ownAddress_, 4);
  const uint16_t port = discovery.port < 0 ? tcpPort_ : static_cast<uint16_t>(discovery.port);
  answer[8] = static_cast<uint8_t>(port);
  answer[9] = static_cast<uint8_t>(port >> 8);
  answer[10] = gatewayType;
  answer[11] = discovery.gatewaySubtype;
  std::string name = discovery.name.empty() ? config_.systemName : discovery.name;
  if (fullName) {
    name.resize(kNameField, kNameFiller);
  } else if (name.size() > kNameField - 1) {
    name.resize(kNameField - 1);
  }
  std::memcpy(&answer[kNameOffset], name.data(), name.size());
  return answer;
}
