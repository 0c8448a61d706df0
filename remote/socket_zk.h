// CSocketZk: the TCP connection of the remote path, to the discovery service, the
// relay server and a system's gateway. It carries whole messages (8-byte header,
// payload length in bytes 4 to 7) and, for the relay handshake, raw bytes. After
// the connect the socket is non-blocking; owners poll ReceiveMessage until a
// message is complete, and the connection closes itself after `timeout` ms without
// an incoming byte. Every failure leaves a line of text (GetErrorText) that the
// owners append to their own error lines.
//
// Deleting the object does not close the connection: a logged-in gateway
// connection outlives its CSocketZk and goes on in the local socket engine. Owners
// that are done with a connection call Close("Destructor") first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/socket.h"

// The socket layer's last error: its Windows Sockets code and the code's text.
struct SocketError {
  int code = 0;
  std::string text;
};
SocketError LastSocketError();

class CSocketZk {
 public:
  // Largest payload a message may announce; a larger one closes the connection.
  static constexpr uint32_t kMaxPayload = 500000;
  // Output the system would not take yet, kept for FlushPending, at most.
  static constexpr size_t kMaxPending = 20000;
  // FlushPending writes at most this much per call.
  static constexpr size_t kFlushChunk = 1400;
  // A read that brings fewer bytes than announced must be completed within this.
  static constexpr uint32_t kPartialReadLimitMs = 250;
  // A connect nobody answers gives up after this, as the system's own would.
  static constexpr int kConnectBoundMs = 21000;

  // Connects at once to address[0].address[1].address[2].address[3]:port.
  CSocketZk(const uint8_t address[4], uint16_t port, int32_t timeoutMs);
  // The same from a dotted text; "Address invalid" without a connect attempt when
  // the text does not hold three dots.
  CSocketZk(const std::string& dottedAddress, uint16_t port, int32_t timeoutMs);
  virtual ~CSocketZk() = default;
  CSocketZk(const CSocketZk&) = delete;
  CSocketZk& operator=(const CSocketZk&) = delete;

  // A whole message. False when the connection failed (it is then closed). A block
  // the system will not take yet is kept for later when `queue` is set, dropped
  // otherwise (unless part of it went out: the rest always follows).
  bool Send(int32_t length, const uint8_t* bytes, bool queue);
  // Writes up to kFlushChunk kept bytes; true when nothing is kept any more.
  bool FlushPending();
  // True when one whole message has been moved into messageBuffer; false while
  // none is complete or when the connection failed (isOpen is then false).
  bool ReceiveMessage();
  // True when raw bytes (count of them, any number when count is 0) have been
  // moved into messageBuffer.
  bool ReceiveRaw(int32_t count);
  // Blocks until ReceiveMessage may have something new to do: bytes or the end
  // arrived, kept output can move, or the inactivity time-out is due. Polling
  // without it would burn a core for as long as a service stays silent.
  void Wait();
  void Close(const std::string& reason);

  void SetErrorText(const std::string& text) { errorText_ = text; }
  std::string GetErrorText() const { return errorText_; }
  // The system's non-blocking mode is set to the opposite of flag.
  void SetBlocking(bool flag);
  void SetNoDelay(bool flag);
  bool IsBlocking() const { return blocking_; }
  bool IsNoDelay() const { return noDelay_; }

  const std::string& GetDottedAddress() const { return dottedAddress_; }
  const std::string& GetAddressAndPort() const { return addressAndPort_; }
  uint16_t GetPort() const { return port_; }
  int64_t GetBytesReceived() const { return bytesReceived_; }
  int64_t GetBytesSent() const { return bytesSent_; }
  size_t GetPendingCount() const { return pending_.size(); }

  // Read by the owners.
  platform::SocketHandle handle = platform::kInvalidSocket;
  bool connectOk = false;  // never cleared once set
  bool isOpen = false;
  std::vector<uint8_t> messageBuffer;

 private:
  enum class Buffered { kNone, kTaken, kTooBig };

  void Connect(const uint8_t address[4], uint16_t port, const std::string& dottedAddress);
  Buffered TakeBufferedMessage();
  bool ReadAnnounced(size_t count);
  bool CompletePartialRead(uint8_t* destination, size_t count, size_t* have);
  bool ReadOneByte();
  bool SilentTooLong() const;

  std::string errorText_;
  int32_t timeout_;
  uint8_t addressBytes_[4] = {};
  uint16_t port_ = 0;
  std::string dottedAddress_;
  std::string addressAndPort_;
  bool blocking_ = false;
  bool noDelay_ = true;
  uint32_t lastReceiveTime_ = 0;
  std::vector<uint8_t> input_;
  int64_t bytesReceived_ = 0;
  int64_t bytesSent_ = 0;
  std::vector<uint8_t> pending_;
};
