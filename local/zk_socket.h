// The TCP connection of the local connection manager. It connects with a bounded
// wait, sends whole messages, and collects the incoming stream in one buffer from
// which complete messages are handed out in place, without copying. It can also
// take over a connection the remote path opened, so that everything after the
// connect works the same for local and remote systems.
//
// Buffer invariant: 0 <= readPos <= fill <= kBufferSize; the bytes from readPos to
// fill are unconsumed stream data that begins with a message header.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/socket.h"

enum ReceiveResult {
  ReceiveFailed = 0,        // no connection, or it has just been closed on an error
  ReceiveNothing = 1,       // nothing arrived within the time-out
  ReceiveMore = 2,          // bytes arrived, no complete message yet
  ReceiveMessageReady = 3,  // a complete message starts at readPos
};

class CZkSocket {
 public:
  static constexpr int32_t kBufferSize = 2000000;
  // A message and its header may not exceed this; a longer announcement closes.
  static constexpr uint32_t kMaxPayload = 1999991;
  static constexpr uint32_t kConnectBoundMs = 10000;
  // "CONNECTSERVERHOST\r\n\r\n", sent first on every connection we open.
  static const char kPreamble[];
  static constexpr int kPreambleSize = 21;

  CZkSocket();
  virtual ~CZkSocket();
  CZkSocket(const CZkSocket&) = delete;
  CZkSocket& operator=(const CZkSocket&) = delete;

  // Connects within kConnectBoundMs, switches back to blocking mode and sends the
  // preamble. A connect that fails early (refused) still waits out the bound, so
  // the caller's timing does not tell a refused address from a silent one.
  bool Open(const platform::SocketAddress& address);
  // Takes over a connected socket; it is switched back to blocking mode. Neither
  // closes a held connection nor clears the buffer.
  void Adopt(platform::SocketHandle handle);
  bool IsOpen() const { return handle_ != platform::kInvalidSocket; }
  platform::SocketHandle GetHandle() const { return handle_; }
  // Closes the connection (receiving side shut down first, unless it has been
  // handed to a client) and empties the buffer in every case.
  void Close();
  // From now on the connection is shared with a started client: closing it only
  // closes our descriptor, since a shutdown would end the client's session too.
  void MarkHandedOver() { handedOver_ = true; }

  bool SendAll(int32_t size, const uint8_t* bytes);
  ReceiveResult Receive(int timeoutMs);
  // The complete message at readPos; readPos moves past it.
  const uint8_t* TakeMessage();
  // Removes `size` bytes starting at `message` from the buffer.
  void Consume(const uint8_t* message, int32_t size);

  int32_t GetFill() const { return fill_; }
  int32_t GetReadPos() const { return readPos_; }

 private:
  uint32_t LengthAt(int32_t offset) const;

  platform::SocketHandle handle_ = platform::kInvalidSocket;
  std::unique_ptr<uint8_t[]> receiveBuffer_;
  int32_t fill_ = 0;
  int32_t readPos_ = 0;
  bool handedOver_ = false;
};
