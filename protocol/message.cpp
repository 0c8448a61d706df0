#include "protocol/message.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr int64_t kGrowthStep = 64;
constexpr uint32_t kWideTextFlag = 0x80000000u;

int64_t PaddedTo4(int64_t n) { return (n + 3) & ~int64_t{3}; }

uint16_t LoadU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void StoreU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// One character per UTF-16 code unit; units beyond Latin-1 cannot be shown in
// single-byte text and become "?".
std::string NarrowUtf16(const uint8_t* bytes, int32_t characters) {
  std::string text(static_cast<size_t>(characters), '?');
  for (int32_t i = 0; i < characters; ++i) {
    uint16_t unit = LoadU16(bytes + 2 * i);
    if (unit <= 0xFF) text[static_cast<size_t>(i)] = static_cast<char>(unit);
  }
  return text;
}

}  // namespace

CZkMSG::CZkMSG(uint16_t queryId, uint16_t code, bool queueIfBlocked)
    : queryId_(queryId), code_(code), queueIfBlocked_(queueIfBlocked) {}

CZkMSG::~CZkMSG() {
  if (ownsBuffer_) std::free(buffer_);
}

std::unique_ptr<CZkMSG> CZkMSG::Create(uint16_t queryId, uint16_t code,
                                       int32_t initialSize, bool queueIfBlocked) {
  std::unique_ptr<CZkMSG> message(new (std::nothrow) CZkMSG(queryId, code, queueIfBlocked));
  if (!message) return nullptr;
  // A negative size is as unreasonable as a huge one: no buffer yet.
  if (initialSize < 0 || initialSize > kMaxLength) return message;
  message->length_ = initialSize;
  if (!message->Reserve(initialSize)) return nullptr;
  return message;
}

std::unique_ptr<CZkMSG> CZkMSG::Wrap(const uint8_t* bytes) {
  if (bytes == nullptr || LoadU32(bytes + 4) > static_cast<uint32_t>(kMaxLength)) {
    return std::unique_ptr<CZkMSG>(new (std::nothrow) CZkMSG(kNoId, kNoCode, true));
  }
  std::unique_ptr<CZkMSG> message(
      new (std::nothrow) CZkMSG(LoadU16(bytes), LoadU16(bytes + 2), true));
  if (!message) return nullptr;
  message->length_ = static_cast<int32_t>(LoadU32(bytes + 4));
  // Borrowed: never written nor freed through this message (see Reserve).
  message->buffer_ = const_cast<uint8_t*>(bytes);
  message->capacity_ = message->length_ + kHeaderSize;
  return message;
}

std::unique_ptr<CZkMSG> CZkMSG::Clone() const {
  std::unique_ptr<CZkMSG> copy(new (std::nothrow) CZkMSG(queryId_, code_, true));
  if (!copy) return nullptr;
  copy->length_ = length_;
  if (!copy->Reserve(length_)) return nullptr;
  if (length_ > 0) std::memcpy(copy->buffer_ + kHeaderSize, GetPayload(), length_);
  return copy;
}

bool CZkMSG::Equals(const CZkMSG& other) const {
  if (length_ != other.length_ || code_ != other.code_) return false;
  return length_ == 0 || std::memcmp(GetPayload(), other.GetPayload(), length_) == 0;
}

const uint8_t* CZkMSG::GetPayload() const {
  return buffer_ ? buffer_ + kHeaderSize : nullptr;
}

const uint8_t* CZkMSG::GetWire() {
  if (buffer_ == nullptr) {
    WriteHeader(header_);
    return header_;
  }
  // Wrapped bytes already carry this header; they are never written.
  if (ownsBuffer_) WriteHeader(buffer_);
  return buffer_;
}

void CZkMSG::SetQueryId(uint16_t queryId) {
  queryId_ = queryId;
  if (buffer_ != nullptr && (ownsBuffer_ || Reserve(length_))) StoreU16(buffer_, queryId);
}

void CZkMSG::WriteHeader(uint8_t* header) const {
  StoreU16(header, queryId_);
  StoreU16(header + 2, code_);
  StoreU32(header + 4, static_cast<uint32_t>(length_));
}

bool CZkMSG::Reserve(int32_t n) {
  if (n < 0) return false;
  const bool borrowed = buffer_ != nullptr && !ownsBuffer_;
  if (borrowed) {
    // Bytes lent by Wrap are copied, whole, before anything may change them.
    n = std::max(n, length_);
  } else if (capacity_ >= int64_t{n} + kHeaderSize) {
    return true;
  }
  int64_t newCapacity = ((int64_t{n} + kHeaderSize) / kGrowthStep + 1) * kGrowthStep;
  if (newCapacity > std::numeric_limits<int32_t>::max()) return false;
  // Zeroed, so reserved but unwritten payload never sends stale memory.
  auto* block = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(newCapacity), 1));
  if (block == nullptr) return false;
  if (buffer_ != nullptr) {
    std::memcpy(block, buffer_, static_cast<size_t>(capacity_));
    if (ownsBuffer_) std::free(buffer_);
  } else {
    WriteHeader(block);
  }
  buffer_ = block;
  capacity_ = static_cast<int32_t>(newCapacity);
  ownsBuffer_ = true;
  return true;
}

bool CZkMSG::HasRoom(int32_t n) const {
  return buffer_ != nullptr && length_ - cursor_ >= n;
}

bool CZkMSG::ReadByte(uint8_t* value) {
  if (!HasRoom(1)) {
    readError_ = true;
    return false;
  }
  if (value) *value = buffer_[kHeaderSize + cursor_];
  cursor_ += 1;
  return true;
}

bool CZkMSG::ReadShort(uint16_t* value) {
  if (!HasRoom(2)) {
    readError_ = true;
    return false;
  }
  if (value) *value = LoadU16(buffer_ + kHeaderSize + cursor_);
  cursor_ += 2;
  return true;
}

bool CZkMSG::ReadInt(int32_t* value) {
  if (!HasRoom(4)) {
    readError_ = true;
    return false;
  }
  if (value) *value = static_cast<int32_t>(LoadU32(buffer_ + kHeaderSize + cursor_));
  cursor_ += 4;
  return true;
}

bool CZkMSG::ReadString(std::string* text) {
  if (readError_) return false;
  readError_ = true;
  const int32_t start = cursor_;
  int32_t count = 0;
  if (!ReadInt(&count)) return false;
  if (!ReadTextBody(count, text)) {
    cursor_ = start;
    return false;
  }
  readError_ = false;
  return true;
}

// The text after its count. A count that runs past the payload fails before a
// byte of it is touched: the count comes from the peer.
bool CZkMSG::ReadTextBody(int32_t count, std::string* text) {
  const uint32_t raw = static_cast<uint32_t>(count);
  const bool wide = (raw & kWideTextFlag) != 0;
  const int32_t bytes = static_cast<int32_t>(raw & ~kWideTextFlag);
  const int32_t remaining = length_ - cursor_;
  if (bytes > remaining) return false;
  const uint8_t* at = buffer_ + kHeaderSize + cursor_;
  if (text) {
    if (wide) {
      *text = NarrowUtf16(at, bytes / 2);
    } else {
      text->assign(reinterpret_cast<const char*>(at), static_cast<size_t>(bytes));
    }
  }
  // Padding missing at the very end of the payload is not an error; the cursor
  // stops at the end so that nothing is ever written beyond the payload.
  cursor_ += static_cast<int32_t>(std::min<int64_t>(PaddedTo4(bytes), remaining));
  return true;
}

bool CZkMSG::ReadColor(uint32_t* value) {
  if (readError_) return false;
  readError_ = true;
  int32_t red = 0;
  int32_t green = 0;
  int32_t blue = 0;
  if (!ReadInt(&red) || !ReadInt(&green) || !ReadInt(&blue)) return false;
  if (value) {
    *value = (static_cast<uint32_t>(red) & 0xFF) | ((static_cast<uint32_t>(green) & 0xFF) << 8) |
             ((static_cast<uint32_t>(blue) & 0xFF) << 16);
  }
  readError_ = false;
  return true;
}

// Appends n bytes and zero padding up to paddedSize at the cursor; the message
// then ends there.
bool CZkMSG::WriteItem(const void* bytes, int32_t n, int32_t paddedSize) {
  const int64_t needed = int64_t{length_} + paddedSize;
  if (needed > std::numeric_limits<int32_t>::max() || !Reserve(static_cast<int32_t>(needed))) {
    return false;
  }
  uint8_t* at = buffer_ + kHeaderSize + cursor_;
  if (n > 0) std::memcpy(at, bytes, static_cast<size_t>(n));
  std::memset(at + n, 0, static_cast<size_t>(paddedSize - n));
  cursor_ += paddedSize;
  length_ = cursor_;
  return true;
}

bool CZkMSG::WriteInt(int32_t value) {
  uint8_t bytes[4];
  StoreU32(bytes, static_cast<uint32_t>(value));
  return WriteItem(bytes, 4, 4);
}

bool CZkMSG::WriteBytes(const void* bytes, int32_t n) {
  if (n < 0 || (bytes == nullptr && n > 0)) return false;
  const int64_t padded = PaddedTo4(n);
  if (padded > std::numeric_limits<int32_t>::max()) return false;
  return WriteItem(bytes, n, static_cast<int32_t>(padded));
}

bool CZkMSG::WriteString(const std::string& text) {
  const int64_t padded = PaddedTo4(static_cast<int64_t>(text.size()));
  const int64_t needed = int64_t{length_} + 4 + padded;
  // One reservation for count and text, so a failure leaves no half-written string.
  if (needed > std::numeric_limits<int32_t>::max() || !Reserve(static_cast<int32_t>(needed))) {
    return false;
  }
  return WriteInt(static_cast<int32_t>(text.size())) &&
         WriteItem(text.data(), static_cast<int32_t>(text.size()), static_cast<int32_t>(padded));
}
