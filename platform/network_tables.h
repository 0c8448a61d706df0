// The machine's network tables: the adapters with their hardware addresses (the
// login sends the first one's) and the IPv4 addresses with their masks (discovery
// sweeps each small subnet). Tests replace both with a ScopedNetworkTablesOverride.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

using HardwareAddress = std::array<uint8_t, 6>;

// One configured IPv4 address. Both values in network byte order, as stored in a
// socket address: the first number of the dotted form is the first byte in memory.
struct AddressRow {
  uint32_t address = 0;
  uint32_t mask = 0;
};

// More adapters than this is a table too large for the buffer: no address at all.
constexpr size_t kMaxAdapters = 10;

class NetworkTables {
 public:
  virtual ~NetworkTables() = default;
  // The interfaces that are up, not loopback, with a 6-byte Ethernet hardware
  // address, in the system's order. False when unreadable or above kMaxAdapters.
  virtual bool Adapters(std::vector<HardwareAddress>* out) = 0;
  // Every IPv4 address with its mask, loopback included; or the rows of
  // TIDEWATCHER_SUBNETS when that is set. False when the table cannot be read.
  virtual bool IPv4Addresses(std::vector<AddressRow>* out) = 0;
};

NetworkTables& CurrentNetworkTables();

class ScopedNetworkTablesOverride {
 public:
  explicit ScopedNetworkTablesOverride(NetworkTables* tables);
  ~ScopedNetworkTablesOverride();
  ScopedNetworkTablesOverride(const ScopedNetworkTablesOverride&) = delete;
  ScopedNetworkTablesOverride& operator=(const ScopedNetworkTablesOverride&) = delete;

 private:
  NetworkTables* previous_;
};

// True when every network link of this process's namespace is loopback: then
// nothing sent, broadcasts to 255.255.255.255 included, can leave the machine.
// Reads the system itself, never an override: it is the guard of tests that send
// broadcasts. False when the links cannot be read.
bool OnlyLoopbackLinks();

// Parses the TIDEWATCHER_SUBNETS text: comma-separated "ADDRESS/PREFIX" rows, each
// the host's own address on that subnet. False (and no rows) when the text is empty
// or any row is malformed.
bool ParseSubnetRows(const std::string& text, std::vector<AddressRow>* rows);

}  // namespace platform

// "%d.%d.%d.%d" of an address in network byte order.
std::string FormatIPv4(uint32_t networkOrderAddress);
