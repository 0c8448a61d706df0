#include "app/adapter_ip_record.h"

#include <cstring>

namespace {

void PutU32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

uint32_t GetRecordAddress(const AdapterIpRecord& record, size_t offset) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value |= static_cast<uint32_t>(record.bytes[offset + i]) << (8 * i);
  return value;
}

void SetRecordAddress(AdapterIpRecord* record, size_t offset, uint32_t value) { PutU32(record->bytes + offset, value); }

void BuildConfigSet(const AdapterIpRecord& record, uint8_t (&bytes)[kConfigSetSize]) {
  PutU32(bytes, kConfigSetCode);
  std::memcpy(bytes + 4, record.bytes, kAdapterIpRecordSize);
}
