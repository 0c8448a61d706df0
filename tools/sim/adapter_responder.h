// What the simulated protocol adapter answers on UDP port 1444. Pure: it turns one
// received datagram into the datagrams to send back to its sender, with the
// configured faults applied; the UDP service does the sending.
//
// Requests start with a u32 request code, little-endian. Code 1, DiscoveryRequest
// (8 bytes: code, then a zero word), is answered with a 40-byte DiscoveryAnswer:
//   0  u32       request code of the answer, 1 (the launcher does not read it)
//   4  u32       the adapter's own address, network order (0 when bound to any)
//   8  u16       TCP port of the protocol service
//  10  u8        gateway type
//  11  u8        gateway subtype
//  12  28 bytes  name, NUL-terminated within the field
// Code 4, ConfigQuery (8 bytes: code, then a zero word), is answered with the
// adapter's 100-byte IP record, nothing else:
//   0  u32       IP address       first number of the dotted form in the top
//   4  u32       subnet mask      byte, little-endian: 192.168.1.10 is sent
//   8  u32       default gateway  as 0A 01 A8 C0
//  12  u32       DNS server
//  16  84 bytes  the adapter's own, never changed
// Code 7, ConfigSet (104 bytes: code, then a record), is never answered; when its
// record ends in the adapter's own 84 bytes, its four addresses become the adapter's.
// Datagrams of other codes or lengths get no answer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/sim/sim_config.h"

using Datagram = std::vector<uint8_t>;

constexpr uint16_t kAdapterUdpPort = 1444;

constexpr size_t kAdapterIpRecordBytes = 100;
using IpRecordBytes = std::array<uint8_t, kAdapterIpRecordBytes>;

class AdapterResponder {
 public:
  // tcpPort: the protocol service's real port (host order); ownAddress: the bind
  // address (network order).
  AdapterResponder(const SimConfig& config, uint16_t tcpPort, uint32_t ownAddress);

  // The datagrams to send back for one received datagram, in order. A ConfigSet
  // meant for this adapter changes its record.
  std::vector<Datagram> Reply(const Datagram& request);
  // What the other adapter (SimIpConfig::otherAdapter) sends first for the same
  // datagram: its own record for a ConfigQuery, else nothing.
  std::vector<Datagram> OtherAdapterReplies(const Datagram& request) const;
  // The IP record as it stands.
  const IpRecordBytes& IpRecord() const { return ipRecord_; }

 private:
  std::vector<Datagram> DiscoveryReplies() const;
  Datagram DiscoveryAnswer(uint8_t gatewayType, bool fullName) const;
  void ApplyConfigSet(const Datagram& set);

  const SimConfig& config_;
  uint16_t tcpPort_;
  uint32_t ownAddress_;
  IpRecordBytes ipRecord_;
};
