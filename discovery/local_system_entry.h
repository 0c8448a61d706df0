// The record behind each line of the Local Systems list: who answered, from where,
// with what, and when it last did. Discovery creates and frees the records of the
// lines it adds and removes; the main dialog frees those still there when its
// window goes.
#pragma once

#include <cstdint>
#include <string>

struct LocalSystemEntry {
  std::string name;         // Latin-1, as the answer carried it
  uint32_t address = 0;     // the answer's source address, network byte order
  uint16_t port = 0;        // TCP port of the system's protocol service
  uint8_t gatewayType = 0;
  uint8_t gatewaySubtype = 0;
  uint32_t lastSeen = 0;    // tick of the last answer that confirmed the line

  // The list line: "NAME (A.B.C.D:PORT)".
  std::string LineText() const;
};

// Equal ignoring letter case (ASCII and Latin-1 letters), as the list's user sees
// names: "quorvex: 12-34-56" names the system "Quorvex: 12-34-56".
bool SameNameIgnoringCase(const std::string& a, const std::string& b);
