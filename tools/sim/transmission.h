// The bytes that go on the wire for one request once the configured faults are
// applied to the session's answer. Pure: the connection loop sends the pieces.
//
// Decoys sent before the real answer carry the code a successful answer would
// carry (request code + 1) and an empty payload, so a client that takes one for its
// answer reads nothing useful from it (and a refused login looks accepted):
//   broadcast    queryId 0x7FFF
//   other id     the identifier of the client's next query: queryId + 1, and 1
//                after 0x7FFE
// Faults on the answer itself:
//   wrong code   the answer's code + 1
//   oversize     the length field announces SimFaults::oversizeValue; the real
//                payload follows and nothing more
//   close mid    the first half of the answer's bytes, then the connection closes
#pragma once

#include <cstdint>
#include <vector>

#include "protocol/message.h"
#include "tools/sim/sim_config.h"

struct Transmission {
  std::vector<std::vector<uint8_t>> pieces;  // sent in order
  bool byteAtATime = false;
  bool closeAfter = false;
};

// `answer` may be null (the system stays silent); its wire bytes are read.
Transmission PlanTransmission(const SimFaults& faults, const CZkMSG& request, CZkMSG* answer);

// The identifier of the "other query" decoy for a request of queryId.
uint16_t OtherQueryId(uint16_t queryId);
