#include "local/zk_socket.h"

#include <cstring>

#include "platform/clock.h"

const char CZkSocket::kPreamble[] = "CONNECTSERVERHOST\r\n\r\n";

namespace {

constexpr int kConnectPollMs = 1;
constexpr uint32_t kConnectSleepMs = 50;

}  // namespace

CZkSocket::CZkSocket() : receiveBuffer_(new uint8_t[kBufferSize]) {}

CZkSocket::~CZkSocket() { Close(); }

bool CZkSocket::Open(const platform::SocketAddress& address) {
  platform::SocketHandle socket = platform::CreateTcpSocket();
  if (socket == platform::kInvalidSocket) return false;
  platform::SetNonBlocking(socket, true);
  bool failed = !platform::Connect(socket, address);
  const uint32_t start = platform::CurrentClock().TickMs();
  while (true) {
    if (ElapsedMs(start) > kConnectBoundMs) {
      platform::CloseSocket(socket);
      return false;
    }
    // A refused connect also shows as writable; its error is read (and thereby
    // cleared) once, and the attempt then only waits out the bound.
    if (!failed && platform::WaitWritable(socket, kConnectPollMs) == platform::WaitResult::kReady) {
      if (platform::PendingConnectError(socket) == 0) break;
      failed = true;
    }
    platform::CurrentClock().Sleep(kConnectSleepMs);
  }
  platform::SetNonBlocking(socket, false);
  handle_ = socket;
  handedOver_ = false;
  SendAll(kPreambleSize, reinterpret_cast<const uint8_t*>(kPreamble));
  return true;
}

void CZkSocket::Adopt(platform::SocketHandle handle) {
  handle_ = handle;
  handedOver_ = false;
  if (handle != platform::kInvalidSocket) platform::SetNonBlocking(handle, false);
}

void CZkSocket::Close() {
  if (handle_ != platform::kInvalidSocket) {
    if (!handedOver_) platform::ShutdownReceive(handle_);
    platform::CloseSocket(handle_);
    handle_ = platform::kInvalidSocket;
  }
  handedOver_ = false;
  fill_ = 0;
  readPos_ = 0;
}

bool CZkSocket::SendAll(int32_t size, const uint8_t* bytes) {
  if (!IsOpen()) return false;
  if (size < 0 || platform::SendSome(handle_, bytes, static_cast<size_t>(size)) != size) {
    Close();
    return false;
  }
  return true;
}

uint32_t CZkSocket::LengthAt(int32_t offset) const {
  const uint8_t* field = receiveBuffer_.get() + offset + 4;
  return static_cast<uint32_t>(field[0]) | static_cast<uint32_t>(field[1]) << 8 |
         static_cast<uint32_t>(field[2]) << 16 | static_cast<uint32_t>(field[3]) << 24;
}

ReceiveResult CZkSocket::Receive(int timeoutMs) {
  if (fill_ - readPos_ >= 8) {
    const uint32_t length = LengthAt(readPos_);
    if (length > kMaxPayload) {
      Close();
      return ReceiveFailed;
    }
    const int64_t whole = static_cast<int64_t>(length) + 8;
    if (fill_ - readPos_ >= whole) return ReceiveMessageReady;
    if (readPos_ + whole > kBufferSize) {
      Close();
      return ReceiveFailed;
    }
  }
  if (!IsOpen()) return ReceiveFailed;
  switch (platform::WaitReadable(handle_, timeoutMs)) {
    case platform::WaitResult::kTimedOut:
      return ReceiveNothing;
    case platform::WaitResult::kFailed:
      Close();
      return ReceiveFailed;
    case platform::WaitResult::kReady:
      break;
  }
  const long received =
      platform::ReceiveSome(handle_, receiveBuffer_.get() + fill_, static_cast<size_t>(kBufferSize - fill_));
  if (received <= 0) {
    Close();
    return ReceiveFailed;
  }
  fill_ += static_cast<int32_t>(received);
  return ReceiveMore;
}

const uint8_t* CZkSocket::TakeMessage() {
  const uint8_t* message = receiveBuffer_.get() + readPos_;
  readPos_ += static_cast<int32_t>(LengthAt(readPos_) + 8);
  return message;
}

void CZkSocket::Consume(const uint8_t* message, int32_t size) {
  const int64_t offset = message - receiveBuffer_.get();
  if (size < 0 || offset < 0 || offset + size > fill_ || size > readPos_) {
    Close();
    return;
  }
  uint8_t* start = receiveBuffer_.get() + offset;
  std::memmove(start, start + size, static_cast<size_t>(fill_ - offset - size));
  readPos_ -= size;
  fill_ -= size;
}
