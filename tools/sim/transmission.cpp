#include "tools/sim/transmission.h"

#include "protocol/message_codes.h"

namespace {

void Store16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void Store32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<uint8_t> Decoy(uint16_t queryId, uint16_t code) {
  std::vector<uint8_t> header(CZkMSG::kHeaderSize, 0);
  Store16(header.data(), queryId);
  Store16(header.data() + 2, code);
  return header;
}

std::vector<uint8_t> WireOf(CZkMSG* answer) {
  const uint8_t* wire = answer->GetWire();
  return std::vector<uint8_t>(wire, wire + answer->GetWireSize());
}

// Faults that change the real answer's bytes.
std::vector<uint8_t> Damaged(const SimFaults& faults, uint16_t requestCode, std::vector<uint8_t> wire,
                             bool* closeAfter) {
  if (faults.wrongCodeOn.Has(requestCode)) {
    Store16(wire.data() + 2, static_cast<uint16_t>(wire[2] | wire[3] << 8) + 1);
  }
  if (faults.oversizeLength.Has(requestCode)) {
    Store32(wire.data() + 4, static_cast<uint32_t>(faults.oversizeValue));
  }
  if (faults.closeMidMessage.Has(requestCode)) {
    wire.resize(wire.size() / 2);
    *closeAfter = true;
  }
  return wire;
}

}  // namespace

// The identifier the launcher hands to its next query: they run 1 to 0x7FFE and
// wrap, never reaching 0 or 0x7FFF.
uint16_t OtherQueryId(uint16_t queryId) {
  return queryId >= kBroadcastQueryId - 1 ? 1 : static_cast<uint16_t>(queryId + 1);
}

Transmission PlanTransmission(const SimFaults& faults, const CZkMSG& request, CZkMSG* answer) {
  Transmission plan;
  const uint16_t code = request.GetCode();
  if (answer == nullptr || faults.silentOn.Has(code)) return plan;
  const uint16_t decoyCode = static_cast<uint16_t>(code + 1);
  if (faults.broadcastBefore.Has(code)) plan.pieces.push_back(Decoy(kBroadcastQueryId, decoyCode));
  if (faults.otherIdBefore.Has(code)) plan.pieces.push_back(Decoy(OtherQueryId(request.GetQueryId()), decoyCode));
  plan.pieces.push_back(Damaged(faults, code, WireOf(answer), &plan.closeAfter));
  plan.byteAtATime = faults.byteAtATime.Has(code);
  return plan;
}
