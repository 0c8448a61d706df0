// The bytes a client sends on one connection, cut into the 21-byte preamble and
// whole messages. The sim keeps its own reassembly rather than the launcher's
// socket engine, so a framing fault in one cannot hide the same fault in the other.
//
// Stream layout:
//   21 bytes  "CONNECTSERVERHOST\r\n\r\n" (no terminating zero)
//   then messages: 8-byte header (uint16 queryId, uint16 code, int32 length, all
//   little-endian) and `length` payload bytes.
// A length field above 2,000,000, read as unsigned (so any negative one too), can
// never be a request: the connection is given up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr char kPreamble[] = "CONNECTSERVERHOST\r\n\r\n";
constexpr size_t kPreambleSize = sizeof kPreamble - 1;  // 21
constexpr uint32_t kMaxRequestLength = 2000000;

class RequestStream {
 public:
  enum class Result { kMessage, kNeedMore, kBadPreamble, kOversize };

  // Without requirePreamble, bytes that do not begin the preamble are taken as the
  // first message instead.
  explicit RequestStream(bool requirePreamble) : requirePreamble_(requirePreamble) {}

  // Hands over received bytes. kBadPreamble when they break a required preamble;
  // kNeedMore otherwise.
  Result Feed(const uint8_t* bytes, size_t n);
  // The next whole message (header and payload) into *message: kMessage, kNeedMore
  // when none is complete yet, kOversize for a length field out of range.
  Result Next(std::vector<uint8_t>* message);

  // The first bytes the client sent, up to 21, whatever they were.
  const std::string& FirstBytes() const { return firstBytes_; }
  bool PreambleReceived() const { return preambleReceived_; }

 private:
  size_t TakePreamble(const uint8_t* bytes, size_t n, bool* bad);

  bool requirePreamble_;
  bool preambleSettled_ = false;
  bool preambleReceived_ = false;
  size_t preambleMatched_ = 0;
  std::string firstBytes_;
  std::vector<uint8_t> pending_;
};
