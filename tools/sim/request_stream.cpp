#include "tools/sim/request_stream.h"

#include <algorithm>

#include "protocol/message.h"

namespace {

uint32_t LengthField(const uint8_t* header) {
  return static_cast<uint32_t>(header[4]) | static_cast<uint32_t>(header[5]) << 8 |
         static_cast<uint32_t>(header[6]) << 16 | static_cast<uint32_t>(header[7]) << 24;
}

}  // namespace

RequestStream::Result RequestStream::Feed(const uint8_t* bytes, size_t n) {
  const size_t keep = std::min(n, kPreambleSize - firstBytes_.size());
  firstBytes_.append(reinterpret_cast<const char*>(bytes), keep);
  bool bad = false;
  const size_t used = TakePreamble(bytes, n, &bad);
  if (bad) return Result::kBadPreamble;
  pending_.insert(pending_.end(), bytes + used, bytes + n);
  return Result::kNeedMore;
}

// Consumes the bytes that continue the preamble. When a byte breaks it and the
// preamble is optional, the part matched so far was the start of a message after all.
size_t RequestStream::TakePreamble(const uint8_t* bytes, size_t n, bool* bad) {
  size_t used = 0;
  while (!preambleSettled_ && used < n) {
    if (bytes[used] == static_cast<uint8_t>(kPreamble[preambleMatched_])) {
      ++used;
      if (++preambleMatched_ == kPreambleSize) preambleSettled_ = preambleReceived_ = true;
      continue;
    }
    if (requirePreamble_) {
      *bad = true;
      return used;
    }
    pending_.insert(pending_.end(), kPreamble, kPreamble + preambleMatched_);
    preambleSettled_ = true;
  }
  return used;
}

RequestStream::Result RequestStream::Next(std::vector<uint8_t>* message) {
  if (pending_.size() < CZkMSG::kHeaderSize) return Result::kNeedMore;
  const uint32_t length = LengthField(pending_.data());
  if (length > kMaxRequestLength) return Result::kOversize;
  const size_t whole = CZkMSG::kHeaderSize + static_cast<size_t>(length);
  if (pending_.size() < whole) return Result::kNeedMore;
  message->assign(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(whole));
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(whole));
  return Result::kMessage;
}
