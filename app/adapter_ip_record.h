// The protocol adapter's IP configuration as it travels on UDP port 1444: the
// 100-byte record the adapter answers a ConfigQuery with, and the ConfigSet that
// carries an edited record back to it. Only the four addresses are ours to read and
// change; the rest of the record belongs to the adapter and goes back untouched.
#pragma once

#include <cstddef>
#include <cstdint>

#include "discovery/datagrams.h"

// AdapterIpRecord, 100 bytes, exactly as the adapter sends it (ConfigAnswer):
//   0  u32       IP address
//   4  u32       subnet mask
//   8  u32       default gateway
//  12  u32       DNS server
//  16  84 bytes  the adapter's own; not interpreted, sent back as received
// Each address is little-endian with the first number of its dotted form in the
// most significant byte: 192.168.1.10 is C0A8010A and travels as 0A 01 A8 C0. The
// IP-address controls take and give that same value. All four zero means DHCP.
constexpr size_t kAdapterIpRecordSize = kConfigAnswerSize;
constexpr size_t kRecordIpAddressOffset = 0;
constexpr size_t kRecordSubnetMaskOffset = 4;
constexpr size_t kRecordDefaultGatewayOffset = 8;
constexpr size_t kRecordDnsServerOffset = 12;
constexpr size_t kRecordAddressesSize = 16;

struct AdapterIpRecord {
  uint8_t bytes[kAdapterIpRecordSize] = {};
};

// The address at one of the four offsets above, and its replacement.
uint32_t GetRecordAddress(const AdapterIpRecord& record, size_t offset);
void SetRecordAddress(AdapterIpRecord* record, size_t offset, uint32_t value);

// ConfigSet, 104 bytes, to UDP port 1444:
//   0  u32        request code, 7
//   4  100 bytes  the AdapterIpRecord
constexpr uint32_t kConfigSetCode = 7;
constexpr size_t kConfigSetSize = 4 + kAdapterIpRecordSize;

void BuildConfigSet(const AdapterIpRecord& record, uint8_t (&bytes)[kConfigSetSize]);
