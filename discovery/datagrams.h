// The datagrams of UDP port 1444: plain fixed-layout records, little-endian, with no
// message header. The launcher asks every address of a small local subnet who is
// there (DiscoveryRequest); each system answers with its name and the TCP port of
// its protocol service (DiscoveryAnswer). The same port carries the adapter's IP
// configuration (ConfigQuery, answered by a 100-byte record).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr uint16_t kDiscoveryPort = 1444;

// DiscoveryRequest, 8 bytes:
//   0  u32  request code, 1
//   4  u32  0
constexpr size_t kDiscoveryRequestSize = 8;
constexpr uint32_t kDiscoveryRequestCode = 1;

// DiscoveryAnswer, exactly 40 bytes; any other length is not an answer:
//   0  u32      not interpreted
//   4  u32      the system's address; not used, the datagram's source counts
//   8  u16      TCP port of the protocol service
//  10  u8       gatewayType; 5 means "ignore me"
//  11  u8       gatewaySubtype
//  12  28 bytes name, single-byte text, NUL-terminated within the field (a name
//               filling all 28 bytes ends at the field's end)
constexpr size_t kDiscoveryAnswerSize = 40;
constexpr size_t kAnswerPortOffset = 8;
constexpr size_t kAnswerTypeOffset = 10;
constexpr size_t kAnswerSubtypeOffset = 11;
constexpr size_t kAnswerNameOffset = 12;
constexpr size_t kAnswerNameSize = 28;
// A received discovery datagram is read into a buffer of this size.
constexpr size_t kDiscoveryReceiveBufferSize = 256;

// The gateway type of systems that must never be listed.
constexpr uint8_t kIgnoredGatewayType = 5;

// ConfigQuery, 8 bytes:
//   0  u32  request code, 4
//   4  u32  0
constexpr size_t kConfigQuerySize = 8;
constexpr uint32_t kConfigQueryCode = 4;
// ConfigAnswer: the adapter's 100-byte IP record, nothing else.
constexpr size_t kConfigAnswerSize = 100;

// The fields of a DiscoveryAnswer the launcher uses.
struct DiscoveryAnswer {
  uint16_t port = 0;
  uint8_t gatewayType = 0;
  uint8_t gatewaySubtype = 0;
  std::string name;
};

DiscoveryAnswer ParseDiscoveryAnswer(const uint8_t (&bytes)[kDiscoveryAnswerSize]);

// An 8-byte request: the code, then a zero word.
void BuildRequest(uint32_t code, uint8_t (&bytes)[kDiscoveryRequestSize]);
