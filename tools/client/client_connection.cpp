#include "tools/client/client_connection.h"

#include <algorithm>

#include "platform/clock.h"
#include "platform/socket_errors.h"

namespace {

// Waits are cut into slices so a termination request is seen promptly.
constexpr int kSliceMs = 100;
constexpr char kBrokenStream[] = "a message header announced more than 2000000 bytes";

std::string SocketFailure(const char* call) {
  const int code = platform::LastSocketErrorCode();
  return "Error #" + std::to_string(code) + " in " + call + "(): " + SocketErrorText(code);
}

uint32_t LittleEndian32(const uint8_t* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

}  // namespace

ClientConnection::ClientConnection(platform::SocketHandle socket, const std::atomic<bool>* cancel)
    : socket_(socket), cancel_(cancel) {}

std::unique_ptr<CZkMSG> ClientConnection::Ask(uint16_t code, uint16_t queryId, std::string* error) {
  std::unique_ptr<CZkMSG> request = CZkMSG::Create(0, code, 0, true);
  if (!request) {
    *error = "out of memory";
    return nullptr;
  }
  return Ask(*request, queryId, error);
}

std::unique_ptr<CZkMSG> ClientConnection::Ask(CZkMSG& request, uint16_t queryId, std::string* error) {
  request.SetQueryId(queryId);
  if (!SendAll(request.GetWire(), static_cast<size_t>(request.GetWireSize()), error)) return nullptr;
  const uint16_t expected = static_cast<uint16_t>(request.GetCode() + 1);
  const uint32_t start = platform::CurrentClock().TickMs();
  while (true) {
    while (std::unique_ptr<CZkMSG> message = TakeMessage()) {
      if (message->GetQueryId() != queryId) continue;
      if (message->GetCode() == expected) return message;
      *error = "the answer came with code " + std::to_string(message->GetCode()) + " instead of " +
               std::to_string(expected);
      return nullptr;
    }
    if (broken_) {
      *error = kBrokenStream;
      return nullptr;
    }
    const uint32_t elapsed = ElapsedMs(start);
    if (elapsed >= static_cast<uint32_t>(kAnswerWaitMs)) {
      *error = "no answer within 10 s";
      return nullptr;
    }
    if (Cancelled()) {
      *error = "stopped while waiting for an answer";
      return nullptr;
    }
    const int waitMs = std::min(kSliceMs, kAnswerWaitMs - static_cast<int>(elapsed));
    if (Receive(waitMs, error) == Arrival::kEnded) return nullptr;
  }
}

bool ClientConnection::StillOpen(int waitMs, std::string* reason) {
  Arrival arrival = Receive(waitMs, reason);
  while (arrival == Arrival::kData) {
    while (TakeMessage()) {
    }
    if (broken_) {
      *reason = kBrokenStream;
      return false;
    }
    arrival = Receive(0, reason);
  }
  return arrival == Arrival::kNothing;
}

bool ClientConnection::SendAll(const uint8_t* bytes, size_t n, std::string* error) {
  size_t done = 0;
  while (done < n) {
    const long sent = platform::SendSome(socket_, bytes + done, n - done);
    if (sent > 0) {
      done += static_cast<size_t>(sent);
      continue;
    }
    // The launcher may keep the shared connection non-blocking; wait for room.
    if (sent < 0 && platform::LastSocketErrorCode() == platform::kWsaWouldBlock &&
        platform::WaitWritable(socket_, kAnswerWaitMs) == platform::WaitResult::kReady) {
      continue;
    }
    *error = SocketFailure("send");
    return false;
  }
  return true;
}

ClientConnection::Arrival ClientConnection::Receive(int waitMs, std::string* error) {
  const platform::WaitResult ready = platform::WaitReadable(socket_, waitMs);
  if (ready == platform::WaitResult::kTimedOut) return Arrival::kNothing;
  if (ready == platform::WaitResult::kFailed) {
    *error = SocketFailure("poll");
    return Arrival::kEnded;
  }
  uint8_t bytes[4096];
  const long got = platform::ReceiveSome(socket_, bytes, sizeof bytes);
  if (got == 0) {
    *error = "the connection was closed";
    return Arrival::kEnded;
  }
  if (got < 0) {
    // Another holder of a non-blocking connection may have taken the bytes first.
    if (platform::LastSocketErrorCode() == platform::kWsaWouldBlock) return Arrival::kNothing;
    *error = SocketFailure("recv");
    return Arrival::kEnded;
  }
  buffer_.insert(buffer_.end(), bytes, bytes + got);
  return Arrival::kData;
}

std::unique_ptr<CZkMSG> ClientConnection::TakeMessage() {
  if (broken_ || buffer_.size() < static_cast<size_t>(CZkMSG::kHeaderSize)) return nullptr;
  const uint32_t length = LittleEndian32(buffer_.data() + 4);
  if (length > static_cast<uint32_t>(CZkMSG::kMaxLength)) {
    broken_ = true;
    return nullptr;
  }
  const size_t size = CZkMSG::kHeaderSize + static_cast<size_t>(length);
  if (buffer_.size() < size) return nullptr;
  std::unique_ptr<CZkMSG> wrapped = CZkMSG::Wrap(buffer_.data());
  std::unique_ptr<CZkMSG> message = wrapped ? wrapped->Clone() : nullptr;
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(size));
  return message;
}
