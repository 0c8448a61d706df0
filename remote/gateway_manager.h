// The connection to a remote system's gateway: opened directly or through the
// relay server, announced with the preamble, logged in with the challenge and the
// login cipher, and asked for the system's version. The logged-in connection is
// what the local connection engine then adopts. One manager per remote connect,
// in the process-wide slot theGatewayManager from ConnectToGateway to
// DisposeGatewayManager. Every step is a status line on the CStatusSink.
//
// Relay request, raw bytes without a message header, 38 of them:
//   offset 0   32 bytes  the system name, at most 31 characters, zero-filled (so
//                        byte 31 is always zero)
//   offset 32  uint16    the system's public port, little-endian
//   offset 34  4 bytes   zero
// The relay's answer is any bytes at all: their arrival means it accepted, and
// from then on it passes bytes through both ways, like a direct connection.
//
// Every new gateway connection starts with the 21 bytes "CONNECTSERVERHOST\r\n\r\n".
// The exchanges (challenge, login, version) each send a request with queryId 0
// and poll for the expected answer, passing over anything else, with a 100 ms
// pause after every poll; a silent gateway is given up by the socket's own
// inactivity time-out.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>

#include "remote/socket_zk.h"

class CStatusSink;
class CZkMSG;

constexpr uint16_t kRelayPort = 7576;
constexpr uint32_t kRelayWaitMs = 30000;
constexpr int32_t kGatewayTimeoutMs = 60000;
constexpr uint32_t kGatewayPollPauseMs = 100;
constexpr size_t kRelayRequestSize = 38;
constexpr size_t kRelayNameField = 32;

// The 38 bytes that ask the relay for a system's gateway.
std::array<uint8_t, kRelayRequestSize> BuildRelayRequest(const std::string& systemName, uint16_t port);

class CConnectionGatewayMgr {
 public:
  // Opens the connection: through the relay when relayMode is set, falling back to
  // the direct one, else directly; `connected` tells whether either worked.
  CConnectionGatewayMgr(const std::string& systemName, const std::string& addressText, uint16_t port,
                        int32_t relayMode, CStatusSink* sink);
  // Closes the connection only when closeOnDispose is set.
  virtual ~CConnectionGatewayMgr();
  CConnectionGatewayMgr(const CConnectionGatewayMgr&) = delete;
  CConnectionGatewayMgr& operator=(const CConnectionGatewayMgr&) = delete;

  bool ConnectDirect(const std::string& addressText, uint16_t port, CStatusSink* sink);
  bool ConnectRelay(const std::string& systemName, uint16_t port, CStatusSink* sink);
  bool GetChallenge(std::string* challenge);
  bool LoginToGateway(const std::string& systemName, const std::string& password, int32_t connectionType);
  bool GetVersion();

  void SetErrorText(const std::string& text) { errorText_ = text; }
  const std::string& GetErrorText() const { return errorText_; }

  bool connected = false;
  std::unique_ptr<CSocketZk> socket;
  bool closeOnDispose = false;
  std::string versionText;
  int32_t versionValue = -1;

 private:
  bool SocketOpen() const { return socket && socket->isOpen; }
  void ReplaceSocket(std::unique_ptr<CSocketZk> replacement);
  bool AwaitRelayAnswer();
  bool SendRequest(uint16_t code);
  bool SendMessage(CZkMSG& request);
  bool AwaitAnswer(std::initializer_list<uint16_t> codes, uint16_t* code);
  void Pause() const;

  std::string errorText_;
};

// The one manager of the process; null when there is none.
extern CConnectionGatewayMgr* theGatewayManager;

// The whole sequence: connect, log in, read the version. True with a logged-in
// connection in theGatewayManager. While a manager exists it refuses at once,
// without a status line.
bool ConnectToGateway(const std::string& systemName, const std::string& password, const std::string& addressText,
                      uint16_t port, int32_t relayMode, int32_t connectionType, CStatusSink* sink);
// Deletes the manager, if any, closing its connection when closeConnection is set.
void DisposeGatewayManager(bool closeConnection);
// The manager's error text; "No Instance created" without a manager.
std::string GetGatewayError();
// The version text of a connected manager; empty otherwise.
std::string GetRemoteVersionText();
