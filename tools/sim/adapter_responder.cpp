#include "tools/sim/adapter_responder.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

constexpr uint32_t kDiscoveryRequestCode = 1;
constexpr uint32_t kConfigQueryCode = 4;
constexpr uint32_t kConfigSetCode = 7;
constexpr size_t kRequestSize = 8;
constexpr size_t kConfigSetSize = 4 + kAdapterIpRecordBytes;
// The four addresses lead the record; the adapter's own bytes follow.
constexpr size_t kRecordAddressesSize = 16;
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

IpRecordBytes MakeIpRecord(const SimIpConfig& ip) {
  IpRecordBytes record{};
  Datagram addresses(kRecordAddressesSize);
  PutU32(addresses, 0, ip.ipAddress);
  PutU32(addresses, 4, ip.subnetMask);
  PutU32(addresses, 8, ip.defaultGateway);
  PutU32(addresses, 12, ip.dnsServer);
  std::memcpy(record.data(), addresses.data(), kRecordAddressesSize);
  std::memcpy(record.data() + kRecordAddressesSize, ip.rest.data(), ip.rest.size());
  return record;
}

bool IsRequest(const Datagram& request, uint32_t code) {
  return request.size() == kRequestSize && U32At(request, 0) == code;
}

}  // namespace

AdapterResponder::AdapterResponder(const SimConfig& config, uint16_t tcpPort, uint32_t ownAddress)
    : config_(config), tcpPort_(tcpPort), ownAddress_(ownAddress), ipRecord_(MakeIpRecord(config.ipConfig)) {}

std::vector<Datagram> AdapterResponder::Reply(const Datagram& request) {
  if (IsRequest(request, kDiscoveryRequestCode)) return DiscoveryReplies();
  if (IsRequest(request, kConfigQueryCode)) {
    if (config_.ipConfig.silent) return {};
    return {Datagram(ipRecord_.begin(), ipRecord_.end())};
  }
  if (request.size() == kConfigSetSize && U32At(request, 0) == kConfigSetCode) ApplyConfigSet(request);
  return {};
}

// The other adapter's record differs from ours everywhere: its own address, and
// trailing bytes of its own, so an answer taken from the wrong adapter shows.
std::vector<Datagram> AdapterResponder::OtherAdapterReplies(const Datagram& request) const {
  const SimIpConfig& ip = config_.ipConfig;
  if (ip.otherAdapter == 0 || ip.silent || !IsRequest(request, kConfigQueryCode)) return {};
  SimIpConfig other = ip;
  uint8_t dotted[4];
  std::memcpy(dotted, &ip.otherAdapter, sizeof dotted);  // network order: first number first
  other.ipAddress = 0;
  for (uint8_t number : dotted) other.ipAddress = other.ipAddress << 8 | number;
  other.subnetMask = ~ip.subnetMask;
  other.defaultGateway = ~ip.defaultGateway;
  other.dnsServer = ~ip.dnsServer;
  for (uint8_t& byte : other.rest) byte = static_cast<uint8_t>(~byte);
  const IpRecordBytes record = MakeIpRecord(other);
  return {Datagram(record.begin(), record.end())};
}

void AdapterResponder::ApplyConfigSet(const Datagram& set) {
  const uint8_t* record = set.data() + 4;
  if (!std::equal(ipRecord_.begin() + kRecordAddressesSize, ipRecord_.end(), record + kRecordAddressesSize)) return;
  std::memcpy(ipRecord_.data(), record, kRecordAddressesSize);
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
