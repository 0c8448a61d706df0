#include "app/zk_file.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kWideTextFlag = 0x80000000u;
constexpr char kUnmappable = '?';

bool OpenModeFor(int mode, platform::FileOpenMode* openMode) {
  switch (mode) {
    case CZkFile::modeRead: *openMode = platform::FileOpenMode::kReadExisting; return true;
    case CZkFile::modeCreate: *openMode = platform::FileOpenMode::kCreateTruncate; return true;
    case CZkFile::modeAppend: *openMode = platform::FileOpenMode::kOpenAppend; return true;
    default: return false;
  }
}

std::string FromUtf16(const std::vector<uint8_t>& bytes) {
  std::string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    unsigned unit = bytes[i] | static_cast<unsigned>(bytes[i + 1]) << 8;
    text += unit <= 0xFF ? static_cast<char>(unit) : kUnmappable;
  }
  return text;
}

}  // namespace

CZkFile::CZkFile(const std::string& path) : path_(path), buffer_(kCapacity) {}

CZkFile::~CZkFile() { Close(); }

int64_t CZkFile::GetLength() {
  if (IsOpen()) return std::max<int64_t>(platform::FileSize(handle_), 0);
  platform::FileHandle file =
      platform::OpenFile(path_, platform::FileOpenMode::kReadExisting, true);
  if (file == platform::kInvalidFile) return 0;
  int64_t size = platform::FileSize(file);
  platform::CloseFile(file);
  return std::max<int64_t>(size, 0);
}

bool CZkFile::Open(int mode, uint32_t share) {
  Close();
  platform::FileOpenMode openMode;
  if (!OpenModeFor(mode, &openMode)) return false;
  handle_ = platform::OpenFile(path_, openMode, share == shareNone);
  if (handle_ == platform::kInvalidFile) return false;
  mode_ = mode;
  return true;
}

bool CZkFile::IsOpen() const { return handle_ != platform::kInvalidFile; }

void CZkFile::Close() {
  if (!IsOpen()) return;
  Flush();
  platform::CloseFile(handle_);
  handle_ = platform::kInvalidFile;
  mode_ = modeClosed;
  count_ = 0;
  position_ = 0;
}

bool CZkFile::Flush() {
  if (mode_ == modeRead) {
    bool nothingUnread = Buffered() == 0;
    count_ = 0;
    position_ = 0;
    return nothingUnread;
  }
  if (count_ == 0) return true;
  int written = 0;
  bool ok = platform::WriteFile(handle_, buffer_.data(), count_, &written) && written == count_;
  // Bytes that did not go out are dropped, not retried: a retry after a partial
  // write would put the written part into the file twice.
  count_ = 0;
  return ok;
}

bool CZkFile::Write(const void* bytes, int n) {
  // Writing into the read-ahead buffer of a file opened for reading, or into a
  // closed file, could only lose the bytes while reporting success.
  if (!InWriteMode() || n < 0) return false;
  if (count_ + n < capacity_) {
    std::memcpy(buffer_.data() + count_, bytes, static_cast<size_t>(n));
    count_ += n;
    return true;
  }
  if (!Flush()) return false;
  if (n > capacity_) {
    int written = 0;
    return platform::WriteFile(handle_, bytes, n, &written) && written == n;
  }
  std::memcpy(buffer_.data(), bytes, static_cast<size_t>(n));
  count_ = n;
  return true;
}

bool CZkFile::RefillBuffer() {
  int got = 0;
  bool ok = platform::ReadFile(handle_, buffer_.data(), capacity_, &got) && got > 0;
  count_ = ok ? got : 0;
  position_ = 0;
  return ok;
}

// Reads until n bytes arrived, the file ends or the system fails; true only with
// all n bytes, so a short read is never mistaken for a complete one.
bool CZkFile::ReadDirect(void* destination, int n) {
  uint8_t* out = static_cast<uint8_t*>(destination);
  int done = 0;
  while (done < n) {
    int got = 0;
    if (!platform::ReadFile(handle_, out + done, n - done, &got) || got <= 0) return false;
    done += got;
  }
  return true;
}

bool CZkFile::Read(void* destination, int n) {
  if (mode_ != modeRead || n < 0) return false;
  if (n > capacity_ && Buffered() == 0) return ReadDirect(destination, n);
  uint8_t* out = static_cast<uint8_t*>(destination);
  int done = 0;
  while (done < n) {
    if (Buffered() == 0 && !RefillBuffer()) return false;
    int take = std::min(n - done, Buffered());
    std::memcpy(out + done, buffer_.data() + position_, static_cast<size_t>(take));
    position_ += take;
    done += take;
  }
  return true;
}

bool CZkFile::ReadExact(void* destination, int n) {
  if (mode_ != modeRead || n < 0) return false;
  if (n == 0) return true;
  int take = std::min(n, Buffered());
  std::memcpy(destination, buffer_.data() + position_, static_cast<size_t>(take));
  position_ += take;
  return take == n || ReadDirect(static_cast<uint8_t*>(destination) + take, n - take);
}

bool CZkFile::ReadInt(int32_t* value) {
  uint8_t bytes[4];
  if (!ReadExact(bytes, sizeof bytes)) return false;
  uint32_t v = bytes[0] | static_cast<uint32_t>(bytes[1]) << 8 |
               static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  *value = static_cast<int32_t>(v);
  return true;
}

bool CZkFile::WriteInt(int32_t value) {
  if (!IsOpen()) return false;
  uint32_t v = static_cast<uint32_t>(value);
  uint8_t bytes[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                      static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
  return Write(bytes, sizeof bytes);
}

void CZkFile::SkipToEnd() {
  position_ = count_;
  while (RefillBuffer()) {
  }
}

bool CZkFile::ReadString(std::string* text) {
  int32_t length = 0;
  if (!ReadInt(&length)) return false;
  uint32_t raw = static_cast<uint32_t>(length);
  bool wide = (raw & kWideTextFlag) != 0;
  uint32_t byteCount = raw & ~kWideTextFlag;
  // Only a damaged file claims more than it holds; trusting such a length would
  // mean allocating up to 2 GB for characters that are not there.
  if (static_cast<int64_t>(byteCount) > GetLength() - GetPosition()) {
    SkipToEnd();
    return false;
  }
  std::vector<uint8_t> bytes(byteCount);
  if (!ReadExact(bytes.data(), static_cast<int>(byteCount))) return false;
  *text = wide ? FromUtf16(bytes) : std::string(bytes.begin(), bytes.end());
  return true;
}

bool CZkFile::WriteString(const std::string& text) {
  if (!WriteInt(static_cast<int32_t>(text.size()))) return false;
  return Write(text.data(), static_cast<int>(text.size()));
}

int64_t CZkFile::GetPosition() {
  if (!IsOpen()) return 0;
  int64_t pointer = platform::FilePointer(handle_);
  if (pointer < 0) return -1;
  return mode_ == modeRead ? pointer - Buffered() : pointer + count_;
}
