// The client's side of the handed-over connection: one request at a time, each
// under an identifier of the client's own choosing, waited for in a small blocking
// loop. Whatever else arrives meanwhile is read and dropped: messages the system
// addresses to everyone (0x7FFF) and answers under other identifiers, such as late
// ones of the launcher, which shares this connection. A header announcing more
// than CZkMSG::kMaxLength bytes means the stream can no longer be trusted, and the
// connection counts as ended.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/socket.h"
#include "protocol/message.h"

class ClientConnection {
 public:
  // How long one answer may take, on the current clock.
  static constexpr int kAnswerWaitMs = 10000;

  // Does not take ownership of the socket. `cancel`, when given, ends a wait as
  // soon as it is set (a termination request).
  explicit ClientConnection(platform::SocketHandle socket, const std::atomic<bool>* cancel = nullptr);

  // Sends the request under `queryId` and returns the answer carrying that
  // identifier and the request's code plus one. Null with *error set when the send
  // fails, the connection ends, the stream breaks, the answer has another code, or
  // none comes within kAnswerWaitMs.
  std::unique_ptr<CZkMSG> Ask(CZkMSG& request, uint16_t queryId, std::string* error);
  // The same for a request without payload.
  std::unique_ptr<CZkMSG> Ask(uint16_t code, uint16_t queryId, std::string* error);

  // Waits up to waitMs for anything to arrive, reads it and drops it. False with
  // *reason set once the peer has closed, the connection failed or the stream
  // broke; true while it is still open.
  bool StillOpen(int waitMs, std::string* reason);

 private:
  enum class Arrival { kData, kNothing, kEnded };

  bool SendAll(const uint8_t* bytes, size_t n, std::string* error);
  Arrival Receive(int waitMs, std::string* error);
  // The next whole message from the buffer, or null when none is complete yet.
  // Sets broken_ on a header that announces too much.
  std::unique_ptr<CZkMSG> TakeMessage();
  bool Cancelled() const { return cancel_ != nullptr && cancel_->load(); }

  platform::SocketHandle socket_;
  const std::atomic<bool>* cancel_;
  std::vector<uint8_t> buffer_;
  bool broken_ = false;
};
