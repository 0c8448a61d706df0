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
// Datagrams of other codes or lengths get no answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/sim/sim_config.h"

using Datagram = std::vector<uint8_t>;

constexpr uint16_t kAdapterUdpPort = 1444;

class AdapterResponder {
 public:
  // tcpPort: the protocol service's real port (host order); ownAddress: the bind
  // address (network order).
  AdapterResponder(const SimConfig& config, uint16_t tcpPort, uint32_t ownAddress)
      : config_(config), tcpPort_(tcpPort), ownAddress_(ownAddress) {}

  // The datagrams to send back for one received datagram, in order.
  std::vector<Datagram> Reply(const Datagram& request) const;

 private:
  std::vector<Datagram> DiscoveryReplies() const;
  Datagram DiscoveryAnswer(uint8_t gatewayType, bool fullName) const;

  const SimConfig& config_;
  uint16_t tcpPort_;
  uint32_t ownAddress_;
};
