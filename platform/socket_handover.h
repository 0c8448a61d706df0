// Handing a connected socket to a started client that asks for it by name (the
// "/SOCKFILE:" form). The endpoint is an abstract Unix stream socket whose name is
// exactly the text "\\.\pipe\%08X" (no trailing NUL). The launcher listens before
// it starts the client, accepts only a peer whose credentials show the client's
// process id and our user, and sends the 372-byte record (handover_record.h) with
// the socket attached in one message.
#pragma once

#include <cstdint>
#include <string>

#include "platform/process.h"

namespace platform {

// "\\.\pipe\%08X" of the value.
std::string HandoverEndpointName(uint32_t value);

class SocketHandoverEndpoint {
 public:
  // How many following values are tried when a name is in use.
  static constexpr int kNameAttempts = 8;

  SocketHandoverEndpoint() = default;
  ~SocketHandoverEndpoint() { Close(); }
  SocketHandoverEndpoint(const SocketHandoverEndpoint&) = delete;
  SocketHandoverEndpoint& operator=(const SocketHandoverEndpoint&) = delete;

  // Listens under the name of `value`, or of value + 1, ... when that is taken.
  bool Listen(uint32_t value);
  const std::string& Name() const { return name_; }
  // Waits up to timeoutMs (on the current clock) for the client to connect, then
  // sends it the record and the socket. Connections from anyone else are closed at
  // once and the wait goes on. False when the client ended first, never came, or
  // the send failed. The listener is closed afterwards in every case.
  bool Deliver(const ChildProcess& client, int socket, int timeoutMs);
  void Close();

 private:
  int listener_ = -1;
  std::string name_;
};

// Connects to the endpoint (what a client does first). False when nobody listens.
bool ConnectToHandoverEndpoint(const std::string& name, int* socket);

// The client's side: connects to the endpoint, receives the record and the socket,
// and checks the record is meant for this process. False with *error set otherwise.
bool ReceiveHandedOverSocket(const std::string& name, int* socket, std::string* error);

}  // namespace platform
