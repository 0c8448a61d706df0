// Fuzzes the reading of received messages: hostile lengths, string counts and
// read sequences must never read outside the message nor break Clone/Equals.
//
// Input: a whole message (8-byte header, then `length` payload bytes), followed
// by a script of operations, one byte each. Without a script a fixed sequence runs.
// The message is copied into a heap block of exactly its size so that any read past
// it is caught by AddressSanitizer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "protocol/message.h"

namespace {

constexpr size_t kMaxOperations = 256;
const uint8_t kDefaultScript[] = {4, 2, 4, 5, 1, 0, 6, 7, 4, 3, 4};

uint32_t LengthField(const uint8_t* header) {
  return static_cast<uint32_t>(header[4]) | (static_cast<uint32_t>(header[5]) << 8) |
         (static_cast<uint32_t>(header[6]) << 16) | (static_cast<uint32_t>(header[7]) << 24);
}

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// A copy equals its source and reads from the start with no read error.
void CheckClone(const CZkMSG& message) {
  std::unique_ptr<CZkMSG> copy = message.Clone();
  if (!copy) return;
  Check(copy->Equals(message) && message.Equals(*copy));
  Check(copy->GetWireSize() == message.GetWireSize());
  std::string text;
  copy->ReadString(&text);
}

void Run(CZkMSG& message, uint8_t operation) {
  uint8_t byte = 0;
  uint16_t shortValue = 0;
  int32_t intValue = 0;
  uint32_t colour = 0;
  std::string text;
  switch (operation % 8) {
    case 0: message.ReadByte(&byte); break;
    case 1: message.ReadShort(&shortValue); break;
    case 2: message.ReadInt(&intValue); break;
    case 3: message.ReadInt(nullptr); break;
    case 4:
      if (message.ReadString(&text)) Check(text.size() <= static_cast<size_t>(message.GetLength()));
      break;
    case 5:
      if (message.ReadColor(&colour)) Check(colour <= 0xFFFFFF);
      break;
    case 6: message.Rewind(); break;
    default: CheckClone(message); break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  const uint32_t length = LengthField(data);
  size_t messageSize = 8;
  if (length <= size - 8) {
    messageSize = 8 + static_cast<size_t>(length);
  } else if (length <= static_cast<uint32_t>(CZkMSG::kMaxLength)) {
    return 0;  // a truncated message is never handed to Wrap
  }  // else: refused on its header alone, so the header is all there is

  std::unique_ptr<uint8_t[]> bytes(new uint8_t[messageSize]);
  std::memcpy(bytes.get(), data, messageSize);
  std::unique_ptr<CZkMSG> message = CZkMSG::Wrap(bytes.get());
  if (!message) return 0;
  Check(message->GetWire() == bytes.get() || message->GetLength() == 0);

  const uint8_t* script = data + messageSize;
  size_t steps = size - messageSize;
  if (steps == 0) {
    script = kDefaultScript;
    steps = sizeof(kDefaultScript);
  }
  if (steps > kMaxOperations) steps = kMaxOperations;
  for (size_t i = 0; i < steps; ++i) Run(*message, script[i]);
  CheckClone(*message);
  // Writing to a received message works on a private copy: the lent bytes stay.
  message->WriteString("after");
  Check(std::memcmp(bytes.get(), data, messageSize) == 0);
  return 0;
}
