// The record that goes with a socket handed to a started client through its
// "/SOCKFILE:" endpoint: 372 bytes, little-endian, sent in one message with the
// socket attached. The launcher writes it; the client checks it before it trusts
// the socket.
//
//   offset 0    4 bytes  "TWSK"
//   offset 4    u32      version, 1
//   offset 8    u32      the client's process id
//   offset 12   u32      the launcher's process id
//   offset 16   u32      address family, 2 (IPv4)
//   offset 20   u32      socket type, 1 (stream)
//   offset 24   u32      protocol, 6 (TCP)
//   offset 28            zero up to byte 371
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

namespace platform {

constexpr size_t kHandoverRecordSize = 372;
constexpr char kHandoverMagic[4] = {'T', 'W', 'S', 'K'};
constexpr uint32_t kHandoverVersion = 1;

using HandoverRecord = std::array<uint8_t, kHandoverRecordSize>;

inline void PutU32(HandoverRecord& record, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) record[offset + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

inline uint32_t GetU32(const HandoverRecord& record, size_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | record[offset + static_cast<size_t>(i)];
  return value;
}

inline HandoverRecord MakeHandoverRecord(uint32_t clientPid, uint32_t launcherPid) {
  HandoverRecord record{};
  std::memcpy(record.data(), kHandoverMagic, sizeof kHandoverMagic);
  PutU32(record, 4, kHandoverVersion);
  PutU32(record, 8, clientPid);
  PutU32(record, 12, launcherPid);
  PutU32(record, 16, 2);
  PutU32(record, 20, 1);
  PutU32(record, 24, 6);
  return record;
}

// True when the record is ours and meant for the process `ownPid`.
inline bool IsHandoverRecordFor(const HandoverRecord& record, uint32_t ownPid) {
  return std::memcmp(record.data(), kHandoverMagic, sizeof kHandoverMagic) == 0 &&
         GetU32(record, 4) == kHandoverVersion && GetU32(record, 8) == ownPid && GetU32(record, 16) == 2 &&
         GetU32(record, 20) == 1 && GetU32(record, 24) == 6;
}

}  // namespace platform
