// What the simulated pool system says and how it misbehaves. One SimConfig fixes
// every answer of the protocol service (system name, password, version, the
// controller configuration record and its name tables), of the adapter's UDP side
// (discovery answers) and the faults they inject, so a test states the whole
// system it talks to in one place.
//
// Fault sets are keyed on the code of the REQUEST the client sent: 12562 in a set
// means CustomNamesQuery, never the StandardNamesAnswer that shares the number.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

// The request codes a fault applies to: some, or all of them.
struct CodeSet {
  bool all = false;
  std::set<uint16_t> codes;

  bool Has(uint16_t code) const { return all || codes.count(code) != 0; }
};

struct SimFaults {
  // No answer at all to these requests; the request is still recorded.
  CodeSet silentOn;
  // The answer goes out with its code plus one (a request code + 2).
  CodeSet wrongCodeOn;
  // Before the real answer, a message with queryId 0x7FFF addressed to everyone.
  CodeSet broadcastBefore;
  // Before the real answer, one carrying another query's identifier: the next one
  // the client will use (queryId + 1; 1 after 0x7FFE).
  CodeSet otherIdBefore;
  // Every byte of the answer in a send of its own, about a millisecond apart.
  CodeSet byteAtATime;
  // Half of the answer's bytes, then the connection is closed.
  CodeSet closeMidMessage;
  // The answer's length field announces oversizeValue; the real payload follows
  // and nothing more, the connection staying open.
  CodeSet oversizeLength;
  int32_t oversizeValue = 1999992;
  // The Nth StandardNamesQuery of a connection (0 = the first) comes back with one
  // name fewer than asked; -1 = never.
  int shortStandardNamesChunk = -1;
  // The byte array at this position (0-9) of ControllerDetailsAnswer announces,
  // and carries, 1001 bytes; -1 = never.
  int oversizeByteArrayIndex = -1;
};

// a.b.c.d in network byte order, whatever the host's byte order.
inline uint32_t NetworkOrderAddress(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  const uint8_t bytes[4] = {a, b, c, d};
  uint32_t address = 0;
  std::memcpy(&address, bytes, sizeof address);
  return address;
}

// One entry of the controller configuration record, wire fields 1 to 8.
struct SimConfigEntry {
  uint32_t number = 0;
  uint8_t nameIndex = 0;
  uint8_t byte3 = 0;
  uint8_t byte4 = 0;
  uint8_t byte5 = 0;
  uint8_t byte6 = 0;
  uint8_t byte7 = 0;
  uint16_t word8 = 0;
};

struct SimNamedColor {
  std::string name;
  int32_t red = 0;  // the three wire ints; only their low bytes make the colour
  int32_t green = 0;
  int32_t blue = 0;
};

struct SimNamedValue {
  uint32_t value = 0;
  std::string name;
};

// What the adapter's UDP side sends for a DiscoveryRequest in place of its answer.
enum class DiscoveryFault {
  kNone,
  kWrongLength39,  // the answer without its last byte
  kWrongLength41,  // the answer and one byte more
  kEmpty,          // an empty datagram
  kType5,          // the answer with gateway type 5
  kFullName,       // the name field filled to all 28 bytes, no terminating NUL
};

// The adapter's UDP side on port 1444 of the bind address.
struct SimDiscovery {
  bool enabled = false;
  // Also hear requests sent to this address (network order; 0 = nowhere else), as
  // an adapter hears its subnet's broadcast address. Answers still leave from the
  // bind address.
  uint32_t alsoHearOn = 0;
  // The announced name; empty = the system name. Longer than 27 bytes is cut to 27
  // and NUL-terminated, unless the full-name fault fills the field.
  std::string name;
  // The announced TCP port; -1 = the protocol service's real port.
  int32_t port = -1;
  uint8_t gatewayType = 1;
  uint8_t gatewaySubtype = 0;
  DiscoveryFault fault = DiscoveryFault::kNone;
  // After the faulty datagram, send the proper answer as well.
  bool answerAfterFault = false;
};

// The adapter's IP configuration on the same UDP side: a ConfigQuery (code 4) from
// anyone is answered with the 100-byte record, a ConfigSet (code 7) meant for this
// adapter changes the four addresses. A set is meant for this adapter when it
// carries the adapter's own 84 trailing bytes, wherever it was sent (the launcher
// sends two of the four copies to 255.255.255.255); those bytes never change.
struct SimIpConfig {
  static constexpr size_t kRestSize = 84;
  // First number of the dotted form in the top byte, as the record carries them;
  // all zero (DHCP) unless told otherwise.
  uint32_t ipAddress = 0;
  uint32_t subnetMask = 0;
  uint32_t defaultGateway = 0;
  uint32_t dnsServer = 0;
  std::array<uint8_t, kRestSize> rest = DefaultRest();
  // Never answer a ConfigQuery (sets still apply).
  bool silent = false;
  // Before each answer of its own, another adapter at this address (network order;
  // 0 = none) answers with a record of its own, from a port of its own.
  uint32_t otherAdapter = 0;

  static std::array<uint8_t, kRestSize> DefaultRest() {
    std::array<uint8_t, kRestSize> rest;
    for (size_t i = 0; i < rest.size(); ++i) rest[i] = static_cast<uint8_t>(0x40 + i);
    return rest;
  }
};

struct SimConfig {
  // Where the protocol service listens, and only there: address in network byte
  // order, port in host order, 0 = any free port (SimulatedSystem::Port reports it).
  uint32_t bindAddress = NetworkOrderAddress(127, 0, 0, 1);
  uint16_t port = 0;

  // Texts are Latin-1, as they travel.
  std::string systemName = "Pool Sim";
  std::string password = "secret";
  std::string versionText = "5.2 Build 738.0 Rel";
  int32_t versionValue = 738;
  // Fixed challenge text; empty = a fresh random one for every ChallengeQuery.
  std::string challenge;

  // Close a connection whose first 21 bytes are not "CONNECTSERVERHOST\r\n\r\n".
  // When false, a connection without them is served from its first byte.
  bool requirePreamble = true;
  // Before a successful login only ChallengeQuery and LoginQuery are answered;
  // everything else is recorded and left unanswered, as a system refusing
  // strangers would. False answers everything at once.
  bool requireLogin = true;

  // ControllerConfigAnswer (order 7) and ControllerDetailsAnswer (field 1).
  uint8_t typeInConfigAnswer = 13;
  uint8_t typeInDetailsAnswer = 13;
  // The two bytes the details answer replaces (orders 8 and 9 of the record),
  // as each answer carries them; different by default so a reader that keeps the
  // wrong one shows.
  uint8_t configByte8 = 6;
  uint8_t configByte9 = 7;
  uint8_t detailsByte8 = 0x26;
  uint8_t detailsByte9 = 0x27;
  std::string firstText = "Main Controller";
  std::string secondText = "Colors";
  std::vector<SimConfigEntry> entries = DefaultEntries();
  std::vector<SimNamedColor> namedColors = {{"Red", 255, 0, 0}, {"Mixed", 1, 2, 3}};

  // Standard names are "Standard 0" .. "Standard N-1".
  uint32_t standardNameCount = 60;
  std::vector<std::string> customNames = {"Pool Light", "Spa Light"};
  std::vector<SimNamedValue> namedValues = {{1, "Low"}, {2, "High"}};
  // The ten byte arrays of ControllerDetailsAnswer. Array i holds bytes
  // i * 16 + j by default; sizes 1 to 10 exercise every padding.
  std::array<std::vector<uint8_t>, 10> byteArrays = DefaultByteArrays();

  SimFaults faults;

  SimDiscovery discovery;
  // Only served while the discovery side runs.
  SimIpConfig ipConfig;
  // Play the gateway program on this computer: hold "GatewayMutex" while running.
  // Such a gateway serves at 127.0.0.1 port 80 (bindAddress and port).
  bool holdGatewayMutex = false;

  // Entries named by standard name 0 and 1, by the first custom name (index =
  // the 60 default standard names) and by nothing ("None").
  static std::vector<SimConfigEntry> DefaultEntries() {
    return {{0, 0, 1, 2, 3, 4, 5, 0x0102}, {1, 1, 0, 0, 0, 0, 0, 0}, {2, 60, 0, 0, 0, 0, 0, 0}, {3, 200, 0, 0, 0, 0, 0, 0}};
  }
  static std::vector<uint8_t> ByteArray(size_t index, size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t j = 0; j < size; ++j) bytes[j] = static_cast<uint8_t>(index * 16 + j);
    return bytes;
  }
  static std::array<std::vector<uint8_t>, 10> DefaultByteArrays() {
    std::array<std::vector<uint8_t>, 10> arrays;
    for (size_t i = 0; i < arrays.size(); ++i) arrays[i] = ByteArray(i, i + 1);
    return arrays;
  }
};
