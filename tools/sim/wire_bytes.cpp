#include "tools/sim/wire_bytes.h"

void AppendByte(std::vector<uint8_t>* bytes, uint8_t value) { bytes->push_back(value); }

void AppendShort(std::vector<uint8_t>* bytes, uint16_t value) {
  bytes->push_back(static_cast<uint8_t>(value));
  bytes->push_back(static_cast<uint8_t>(value >> 8));
}

void AppendInt(std::vector<uint8_t>* bytes, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes->push_back(static_cast<uint8_t>(value >> shift));
}

void AppendString(std::vector<uint8_t>* bytes, const std::string& text) {
  AppendInt(bytes, static_cast<uint32_t>(text.size()));
  bytes->insert(bytes->end(), text.begin(), text.end());
  bytes->resize(bytes->size() + (4 - text.size() % 4) % 4, 0);
}

std::vector<uint8_t> WireMessage(uint16_t queryId, uint16_t code, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> bytes;
  AppendShort(&bytes, queryId);
  AppendShort(&bytes, code);
  AppendInt(&bytes, static_cast<uint32_t>(payload.size()));
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  return bytes;
}

bool SendAllBlocking(platform::SocketHandle socket, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const long sent = platform::SendSome(socket, bytes.data() + done, bytes.size() - done);
    if (sent <= 0) return false;
    done += static_cast<size_t>(sent);
  }
  return true;
}
