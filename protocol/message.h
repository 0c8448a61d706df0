// One protocol message: the 8-byte header and a payload of typed items, read and
// written through one cursor. Every TCP exchange with a system, its gateway and the
// discovery service uses this format. A request is built item by item and sent with
// GetWire/GetWireSize; a received message is wrapped in place, read, and cloned
// when it has to outlive the receive buffer it lives in.
//
// Wire layout, all integers little-endian:
//   offset 0  uint16  queryId   identifier of the waiting query, copied into the answer
//   offset 2  uint16  code      message code (protocol/message_codes.h)
//   offset 4  int32   length    payload bytes after the header
//   offset 8  length  payload   items back to back, no other framing
//
// Payload items carry no type tag; reader and writer agree on the sequence:
//   int     4 bytes, signed
//   short   2 bytes (read only)
//   byte    1 byte (read only)
//   block   the bytes, then padding to a multiple of 4 (no count of its own)
//   string  int n, the text, zero padding to a multiple of 4. High bit of n clear:
//           n bytes of 8-bit text. High bit set: n & 0x7FFFFFFF bytes of UTF-16LE.
//   colour  three ints; their low bytes are red, green, blue of 0x00BBGGRR
//
// Text is single-byte Latin-1; UTF-16 code units 0-255 become that byte, any other
// unit becomes "?", so the text keeps one character per code unit.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CZkMSG {
 public:
  static constexpr int kHeaderSize = 8;
  // Largest initial size that gets a buffer, and largest length field accepted
  // from the wire; beyond it a message is empty.
  static constexpr int32_t kMaxLength = 2000000;
  // queryId and code of the empty message that an unacceptable header gives;
  // it matches no expected answer.
  static constexpr uint16_t kNoId = 0xFFFF;
  static constexpr uint16_t kNoCode = 0xFFFF;

  // A new request. With initialSize from 0 to kMaxLength the message gets a
  // buffer of at least that payload and length = initialSize (the first write
  // replaces it by the end of what was written); otherwise no buffer and length 0.
  // Null only when memory runs out.
  static std::unique_ptr<CZkMSG> Create(uint16_t queryId, uint16_t code,
                                        int32_t initialSize, bool queueIfBlocked);

  // Reads the message at `bytes` in place, without copying. The caller guarantees
  // that `bytes` holds the whole message (length + 8 bytes, length taken from the
  // header) and stays valid and unchanged while the message is used; the message
  // never writes into these bytes nor frees them. A length field above kMaxLength
  // (as unsigned) or null bytes give the empty message: queryId and code 0xFFFF,
  // length 0, no buffer. Null only when memory runs out.
  static std::unique_ptr<CZkMSG> Wrap(const uint8_t* bytes);

  virtual ~CZkMSG();
  CZkMSG(const CZkMSG&) = delete;
  CZkMSG& operator=(const CZkMSG&) = delete;

  // An independent copy with its own buffer, cursor 0 and no read error. Null
  // when memory runs out.
  std::unique_ptr<CZkMSG> Clone() const;
  // Same length, same code and the same payload bytes; queryId is not compared.
  bool Equals(const CZkMSG& other) const;

  uint16_t GetQueryId() const { return queryId_; }
  uint16_t GetCode() const { return code_; }
  int32_t GetLength() const { return length_; }
  bool GetQueueIfBlocked() const { return queueIfBlocked_; }
  // Bytes allocated for header and payload; 0 without a buffer.
  int32_t GetCapacity() const { return capacity_; }
  // First payload byte, or null without a buffer.
  const uint8_t* GetPayload() const;
  int32_t GetWireSize() const { return length_ + kHeaderSize; }
  // The GetWireSize() bytes to send, header updated with the current length.
  // Valid until the next write or SetQueryId.
  const uint8_t* GetWire();
  // Also stamps the buffer's header. A wrapped message first takes a copy of its
  // bytes; if memory runs out only the object's value changes.
  void SetQueryId(uint16_t queryId);
  // Back to the first payload byte; a read error stays.
  void Rewind() { cursor_ = 0; }

  // Grows the buffer, when needed, to hold a payload of n bytes: to the smallest
  // multiple of 64 strictly greater than n + 8. A wrapped message always takes a
  // private copy of its bytes here. False, the message unchanged, when memory runs
  // out or n is out of range.
  bool Reserve(int32_t n);

  // Readers: true on success; on failure the destination and the cursor are
  // unchanged (except the ints a failed ReadColor did read) and the read error is
  // set. ReadByte, ReadShort and ReadInt read wherever bytes remain, whatever the
  // read error; a null destination skips the item.
  bool ReadByte(uint8_t* value);
  bool ReadShort(uint16_t* value = nullptr);
  bool ReadInt(int32_t* value = nullptr);
  // These two refuse to start once a read has failed, and a failure inside them
  // leaves the read error set.
  bool ReadString(std::string* text);
  bool ReadColor(uint32_t* value);

  // Writers append at the cursor: true, or false with the message unchanged when
  // the buffer cannot grow. The launcher only writes the 8-bit string form.
  bool WriteInt(int32_t value);
  bool WriteBytes(const void* bytes, int32_t n);
  bool WriteString(const std::string& text);

 private:
  CZkMSG(uint16_t queryId, uint16_t code, bool queueIfBlocked);

  bool HasRoom(int32_t n) const;
  bool WriteItem(const void* bytes, int32_t n, int32_t paddedSize);
  void WriteHeader(uint8_t* header) const;
  bool ReadTextBody(int32_t count, std::string* text);

  uint16_t queryId_;
  uint16_t code_;
  int32_t length_ = 0;
  bool queueIfBlocked_;
  // Header and payload. Allocated with malloc when ownsBuffer_ is set; otherwise
  // the caller's bytes from Wrap, which are only ever read.
  uint8_t* buffer_ = nullptr;
  int32_t capacity_ = 0;
  int32_t cursor_ = 0;  // never beyond length_
  bool ownsBuffer_ = false;
  bool readError_ = false;
  uint8_t header_[kHeaderSize] = {};  // GetWire of a message without buffer
};
