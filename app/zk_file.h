// CZkFile: the launcher's buffered file, with the 32-bit integers and
// length-prefixed texts LOGIN.DAT is made of. Writes collect in a 5000-byte
// buffer and reach the disk on Flush, Close or destruction; reads fetch ahead in
// the same buffer.
//
// Integers are 4 bytes little-endian. A text is a 32-bit length, then its bytes:
//   top bit clear   length = count of single-byte characters
//   top bit set     low 31 bits = count of bytes of UTF-16LE characters, read as
//                   single-byte text (code units 0-255 as that byte, others "?")
// The class itself always writes the single-byte form.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/files.h"

class CZkFile {
 public:
  enum Mode { modeClosed = 0, modeRead = 1, modeCreate = 2, modeAppend = 3 };
  // Sharing with other processes while the file is open, as share flags: only
  // "no sharing" (0) keeps others out; any other value lets them in.
  static constexpr uint32_t shareNone = 0;
  static constexpr uint32_t shareRead = 1;
  static constexpr uint32_t shareWrite = 2;
  static constexpr int kCapacity = 5000;

  explicit CZkFile(const std::string& path);
  virtual ~CZkFile();
  CZkFile(const CZkFile&) = delete;
  CZkFile& operator=(const CZkFile&) = delete;

  // The size of the open file; when closed, of the file at the path (0 when it
  // cannot be opened).
  virtual int64_t GetLength();
  // modeRead: an existing file; modeCreate: created or emptied; modeAppend:
  // opened or created, writing at its end. Closes an open file first.
  virtual bool Open(int mode, uint32_t share);
  // Buffered: true only when all n bytes were delivered.
  virtual bool Read(void* destination, int n);
  virtual bool IsOpen() const;
  // Buffered: true when the bytes were taken (a full buffer is written out first;
  // more than the capacity goes straight to the file).
  virtual bool Write(const void* bytes, int n);

  void Close();
  // Write modes: writes the waiting bytes, true when all went out. Read mode:
  // drops what was fetched ahead, true when none of it was still unread.
  bool Flush();
  // What the buffer holds, then the rest straight from the file.
  bool ReadExact(void* destination, int n);
  bool ReadInt(int32_t* value);
  bool WriteInt(int32_t value);
  // False, *text unchanged, when the length or the characters cannot be read. A
  // length larger than what is left of the file is refused and the rest of the
  // file skipped, just as if the characters had run out at its end.
  bool ReadString(std::string* text);
  bool WriteString(const std::string& text);
  // Where the next byte is read or written, counting the buffered bytes.
  int64_t GetPosition();

 private:
  bool InWriteMode() const { return mode_ == modeCreate || mode_ == modeAppend; }
  int Buffered() const { return count_ - position_; }
  bool RefillBuffer();
  bool ReadDirect(void* destination, int n);
  void SkipToEnd();

  std::string path_;
  platform::FileHandle handle_ = platform::kInvalidFile;
  std::vector<uint8_t> buffer_;
  int capacity_ = kCapacity;
  int count_ = 0;     // write modes: bytes waiting; read mode: bytes fetched
  int position_ = 0;  // read mode: next unread byte of the buffer
  int mode_ = modeClosed;
};
