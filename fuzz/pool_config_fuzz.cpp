// Fuzzes the reading of the controller configuration: every answer of the series
// (record, name count, name chunks, custom names, named values, details) comes from
// the input, so hostile counts, strings and byte arrays reach every reader and the
// chunk loop, without a connection.
//
// Input: the answers in the order the requests go out, each as
//   u16 little-endian payload length, then that many payload bytes;
//   length 0xFFFF: this request gets no answer (nothing follows).
// When the input runs out, every further request goes unanswered. Each answer is
// copied into a heap block of exactly its size, so a read past it is caught by
// AddressSanitizer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "config/pool_config.h"
#include "protocol/message.h"
#include "protocol/message_codes.h"

namespace {

constexpr uint16_t kNoAnswer = 0xFFFF;
// The record, the count, at most 164 chunks of names, custom names, named values
// and the details.
constexpr size_t kMaxRequests = 5 + (CPoolConfig::kMaxStandardNames + 24) / 25;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

class FuzzedSystem : public ConfigExchange {
 public:
  FuzzedSystem(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  CZkMSG* Ask(CZkMSG* request) override {
    ++requests_;
    Check(requests_ <= kMaxRequests);
    CheckChunkRequest(*request);
    if (size_ < 2) return nullptr;
    const uint16_t length = static_cast<uint16_t>(data_[0] | data_[1] << 8);
    Take(2);
    if (length == kNoAnswer) return nullptr;
    const size_t payload = length <= size_ ? length : size_;
    const uint16_t code = static_cast<uint16_t>(request->GetCode() + 1);
    wire_.reset(new uint8_t[8 + payload]);
    const uint8_t header[8] = {0, 0, static_cast<uint8_t>(code), static_cast<uint8_t>(code >> 8),
                               static_cast<uint8_t>(payload), static_cast<uint8_t>(payload >> 8), 0, 0};
    std::memcpy(wire_.get(), header, sizeof header);
    if (payload > 0) std::memcpy(wire_.get() + 8, data_, payload);
    Take(payload);
    answer_ = CZkMSG::Wrap(wire_.get());
    return answer_.get();
  }

 private:
  void Take(size_t n) {
    data_ += n;
    size_ -= n;
  }

  // Chunks ask for 1 to 25 names each, each chunk starting where the last ended.
  void CheckChunkRequest(CZkMSG& request) {
    if (request.GetCode() != message_codes::StandardNamesQuery) return;
    request.Rewind();
    int32_t zero = -1, first = -1, count = -1;
    Check(request.ReadInt(&zero) && request.ReadInt(&first) && request.ReadInt(&count));
    Check(zero == 0 && count >= 1 && count <= 25);
    Check(static_cast<uint32_t>(first) == nextFirst_);
    nextFirst_ += static_cast<uint32_t>(count);
    Check(nextFirst_ <= static_cast<uint32_t>(CPoolConfig::kMaxStandardNames));
  }

  const uint8_t* data_;
  size_t size_;
  size_t requests_ = 0;
  uint32_t nextFirst_ = 0;
  std::unique_ptr<uint8_t[]> wire_;
  std::unique_ptr<CZkMSG> answer_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedSystem system(data, size);
  CPoolConfig pool(0, system);
  if (!pool.IsLoaded()) {
    Check(pool.GetControllerType() == 0 && pool.GetEntries().empty());
    return 0;
  }
  // Every item read took at least its size from an input of `size` bytes.
  Check(pool.GetEntries().size() * 12 <= size);
  Check(pool.GetNamedColors().size() * 16 <= size);
  Check((pool.GetStandardNames().size() + pool.GetCustomNames().size()) * 4 <= size);
  Check(pool.GetNamedValues().size() * 8 <= size);
  Check(pool.GetStandardNames().size() <= static_cast<size_t>(CPoolConfig::kMaxStandardNames));
  for (const NamedColor& color : pool.GetNamedColors()) Check(color.value <= 0xFFFFFF);
  for (const std::vector<uint8_t>& bytes : pool.GetByteArrays()) {
    Check(bytes.size() <= static_cast<size_t>(CPoolConfig::kMaxByteArraySize));
  }
  return 0;
}
