#include "remote/socket_zk.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "platform/socket_errors.h"
#include "remote/dotted_address.h"

namespace {

// Payload length: bytes 4 to 7 of the header, little-endian.
constexpr size_t kHeaderSize = 8;
constexpr size_t kLengthOffset = 4;
// How long one wait lasts when the connection has no inactivity time-out.
constexpr int kIdleWaitMs = 1000;

uint32_t Now() { return platform::CurrentClock().TickMs(); }

uint32_t PayloadLength(const uint8_t* header) {
  const uint8_t* field = header + kLengthOffset;
  return static_cast<uint32_t>(field[0]) | static_cast<uint32_t>(field[1]) << 8 |
         static_cast<uint32_t>(field[2]) << 16 | static_cast<uint32_t>(field[3]) << 24;
}

std::string FormatDotted(const uint8_t address[4]) {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", address[0], address[1], address[2], address[3]);
  return text;
}

std::string CallFailure(const char* call) {
  const SocketError error = LastSocketError();
  return "Error #" + std::to_string(error.code) + " in " + call + "(): " + error.text;
}

}  // namespace

SocketError LastSocketError() {
  SocketError error;
  error.code = platform::LastSocketErrorCode();
  error.text = SocketErrorText(error.code);
  return error;
}

CSocketZk::CSocketZk(const uint8_t address[4], uint16_t port, int32_t timeoutMs) : timeout_(timeoutMs) {
  Connect(address, port, FormatDotted(address));
}

CSocketZk::CSocketZk(const std::string& dottedAddress, uint16_t port, int32_t timeoutMs) : timeout_(timeoutMs) {
  lastReceiveTime_ = Now();
  uint8_t address[4] = {};
  if (!ParseDottedAddress(dottedAddress, "", &address[0], &address[1], &address[2], &address[3], nullptr)) {
    errorText_ = "Address invalid";
    return;
  }
  Connect(address, port, dottedAddress);
}

void CSocketZk::Connect(const uint8_t address[4], uint16_t port, const std::string& dottedAddress) {
  lastReceiveTime_ = Now();
  std::memcpy(addressBytes_, address, sizeof addressBytes_);
  port_ = port;
  dottedAddress_ = dottedAddress;
  addressAndPort_ = FormatDotted(address) + ":" + std::to_string(port);
  handle = platform::CreateTcpSocket();
  if (handle == platform::kInvalidSocket) {
    errorText_ = CallFailure("socket");
    return;
  }
  uint32_t networkOrder = 0;
  std::memcpy(&networkOrder, addressBytes_, sizeof networkOrder);
  if (!platform::ConnectWithin(handle, platform::MakeSocketAddress(networkOrder, port), kConnectBoundMs)) {
    errorText_ = CallFailure("connect");
    platform::CloseSocket(handle);
    handle = platform::kInvalidSocket;
    return;
  }
  isOpen = true;
  SetBlocking(false);
  SetNoDelay(true);
  connectOk = true;
}

bool CSocketZk::Send(int32_t length, const uint8_t* bytes, bool queue) {
  if (!isOpen || length < 0) return false;
  size_t written = 0;
  // Behind kept output a block may not overtake it: it waits its turn.
  if (pending_.empty()) {
    const long sent = platform::SendSome(handle, bytes, static_cast<size_t>(length));
    if (sent == length) {
      bytesSent_ += sent;
      return true;
    }
    if (sent < 0 && platform::LastSocketErrorCode() != platform::kWsaWouldBlock) {
      Close("Cannot Send");
      return false;
    }
    written = sent > 0 ? static_cast<size_t>(sent) : 0;
    bytesSent_ += static_cast<int64_t>(written);
  }
  // Once part of a block has gone, the rest must follow or the stream is broken.
  if (written == 0 && !queue) return true;
  const size_t rest = static_cast<size_t>(length) - written;
  if (pending_.size() + rest > kMaxPending) {
    Close("Cannot Send");
    return false;
  }
  pending_.insert(pending_.end(), bytes + written, bytes + length);
  return true;
}

bool CSocketZk::FlushPending() {
  if (pending_.empty()) return true;
  const size_t chunk = std::min(pending_.size(), kFlushChunk);
  const long sent = platform::SendSome(handle, pending_.data(), chunk);
  if (sent > 0) {
    pending_.erase(pending_.begin(), pending_.begin() + sent);
    bytesSent_ += sent;
    return pending_.empty();
  }
  if (sent < 0 && platform::LastSocketErrorCode() != platform::kWsaWouldBlock) Close("Cannot Send");
  return false;
}

bool CSocketZk::ReceiveMessage() {
  if (!FlushPending()) {
    // Output the peer never takes must not hold the caller for ever.
    if (SilentTooLong()) Close("Timeout");
    return false;
  }
  const Buffered buffered = TakeBufferedMessage();
  if (buffered != Buffered::kNone) return buffered == Buffered::kTaken;
  if (!isOpen) return false;
  const long waiting = platform::BytesWaiting(handle);
  if (waiting < 0) {
    Close(LastSocketError().text);
    return false;
  }
  if (waiting == 0) return ReadOneByte();
  return ReadAnnounced(static_cast<size_t>(waiting)) && TakeBufferedMessage() == Buffered::kTaken;
}

CSocketZk::Buffered CSocketZk::TakeBufferedMessage() {
  if (input_.size() < kHeaderSize) return Buffered::kNone;
  const uint32_t length = PayloadLength(input_.data());
  if (length > kMaxPayload) {
    Close("Input Message too big");
    return Buffered::kTooBig;
  }
  const size_t whole = kHeaderSize + length;
  if (input_.size() < whole) return Buffered::kNone;
  messageBuffer.assign(input_.begin(), input_.begin() + static_cast<long>(whole));
  input_.erase(input_.begin(), input_.begin() + static_cast<long>(whole));
  return Buffered::kTaken;
}

// Reads the `count` bytes the system announced into the input buffer.
bool CSocketZk::ReadAnnounced(size_t count) {
  const size_t start = input_.size();
  input_.resize(start + count);
  const long got = platform::ReceiveSome(handle, input_.data() + start, count);
  if (got < 0) {
    Close("Bad Receive2");
    return false;
  }
  if (got > 0) lastReceiveTime_ = Now();
  size_t have = static_cast<size_t>(got);
  if (have < count && !CompletePartialRead(input_.data() + start, count, &have)) return false;
  input_.resize(start + have);
  bytesReceived_ += static_cast<int64_t>(have);
  return true;
}

// The rest of a read that brought fewer bytes than announced; they must all be
// there within kPartialReadLimitMs of the short read, checked after every read.
bool CSocketZk::CompletePartialRead(uint8_t* destination, size_t count, size_t* have) {
  const uint32_t noted = Now();
  while (true) {
    const uint32_t elapsed = ElapsedMs(noted);
    const int left = elapsed > kPartialReadLimitMs ? 0 : static_cast<int>(kPartialReadLimitMs - elapsed) + 1;
    if (platform::WaitReadable(handle, left) == platform::WaitResult::kReady) {
      const long more = platform::ReceiveSome(handle, destination + *have, count - *have);
      if (more > 0) {
        *have += static_cast<size_t>(more);
      } else {
        // The end or an error: nothing more will come, but the rule's time still runs.
        platform::CurrentClock().Sleep(static_cast<uint32_t>(left));
      }
    }
    if (ElapsedMs(noted) > kPartialReadLimitMs) {
      Close("Bad Receive3");
      return false;
    }
    if (*have == count) return true;
  }
}

// Nothing is announced: a single byte tells apart "nothing yet" from "closed".
bool CSocketZk::ReadOneByte() {
  uint8_t byte = 0;
  const long got = platform::ReceiveSome(handle, &byte, 1);
  if (got == 1) {
    lastReceiveTime_ = Now();
    input_.push_back(byte);
    ++bytesReceived_;
    return false;
  }
  if (SilentTooLong()) {
    Close("Timeout");
  } else if (got < 0 && platform::LastSocketErrorCode() == platform::kWsaWouldBlock) {
    return false;
  } else {
    Close("Assume socket is closed");
  }
  return false;
}

bool CSocketZk::SilentTooLong() const {
  return isOpen && timeout_ >= 0 && ElapsedMs(lastReceiveTime_) > static_cast<uint32_t>(timeout_);
}

bool CSocketZk::ReceiveRaw(int32_t count) {
  if (!isOpen) return false;
  const long waiting = platform::BytesWaiting(handle);
  if (waiting < 0) {
    Close(LastSocketError().text);
    return false;
  }
  if (waiting < std::max<long>(count, 1)) return false;
  const size_t wanted = static_cast<size_t>(count > 0 ? count : waiting);
  messageBuffer.resize(wanted);
  const long got = platform::ReceiveSome(handle, messageBuffer.data(), wanted);
  if (got < 0) {
    Close(LastSocketError().text);
    return false;
  }
  messageBuffer.resize(static_cast<size_t>(got));
  bytesReceived_ += got;
  return got > 0;
}

void CSocketZk::Wait() {
  if (!isOpen) return;
  int waitMs = kIdleWaitMs;
  if (timeout_ >= 0) {
    const uint32_t limit = static_cast<uint32_t>(timeout_);
    const uint32_t elapsed = ElapsedMs(lastReceiveTime_);
    // One past the time-out, so the next receive finds it exceeded.
    waitMs = elapsed > limit ? 0 : static_cast<int>(limit - elapsed) + 1;
  }
  // While output is kept, ReceiveMessage reads nothing: only a writable socket
  // lets it go on.
  if (!pending_.empty()) {
    platform::WaitWritable(handle, waitMs);
  } else {
    platform::WaitReadable(handle, waitMs);
  }
}

void CSocketZk::Close(const std::string& reason) {
  errorText_ = reason;
  if (isOpen) {
    platform::ShutdownReceive(handle);
    platform::CloseSocket(handle);
    handle = platform::kInvalidSocket;
  }
  isOpen = false;
  std::vector<uint8_t>().swap(input_);
  std::vector<uint8_t>().swap(messageBuffer);
  // Nothing can be sent on a closed connection.
  std::vector<uint8_t>().swap(pending_);
}

void CSocketZk::SetBlocking(bool flag) {
  platform::SetNonBlocking(handle, !flag);
  blocking_ = flag;
}

void CSocketZk::SetNoDelay(bool flag) {
  platform::SetNoDelay(handle, flag);
  noDelay_ = flag;
}
