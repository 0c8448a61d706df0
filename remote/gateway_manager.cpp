#include "remote/gateway_manager.h"

#include <algorithm>
#include <cstring>

#include "app/status_sink.h"
#include "local/zk_socket.h"
#include "platform/clock.h"
#include "protocol/cipher.h"
#include "protocol/login.h"
#include "protocol/message.h"
#include "protocol/message_codes.h"
#include "remote/service_hosts.h"

namespace codes = message_codes;

CConnectionGatewayMgr* theGatewayManager = nullptr;

namespace {

constexpr size_t kRelayPortOffset = 32;
constexpr size_t kCodeOffset = 2;

void Report(CStatusSink* sink, const std::string& line) {
  if (sink != nullptr) sink->ShowStatus(line);
}

uint16_t MessageCode(const std::vector<uint8_t>& message) {
  return static_cast<uint16_t>(message[kCodeOffset] | message[kCodeOffset + 1] << 8);
}

}  // namespace

std::array<uint8_t, kRelayRequestSize> BuildRelayRequest(const std::string& systemName, uint16_t port) {
  std::array<uint8_t, kRelayRequestSize> request = {};
  std::memcpy(request.data(), systemName.data(), std::min(systemName.size(), kRelayNameField - 1));
  request[kRelayPortOffset] = static_cast<uint8_t>(port);
  request[kRelayPortOffset + 1] = static_cast<uint8_t>(port >> 8);
  return request;
}

CConnectionGatewayMgr::CConnectionGatewayMgr(const std::string& systemName, const std::string& addressText,
                                             uint16_t port, int32_t relayMode, CStatusSink* sink) {
  bool opened;
  if (relayMode != 0) {
    opened = ConnectRelay(systemName, port, sink);
    if (!opened) {
      Report(sink, "Relay connection failed.");
      opened = ConnectDirect(addressText, port, sink);
    }
  } else {
    opened = ConnectDirect(addressText, port, sink);
    if (!opened) Report(sink, "Direct connection failed.");
  }
  if (!opened) {
    errorText_ = "Cannot connect. " + (socket ? socket->GetErrorText() : std::string()) + "\n";
    return;
  }
  // Its fate shows in the login that follows.
  socket->Send(CZkSocket::kPreambleSize, reinterpret_cast<const uint8_t*>(CZkSocket::kPreamble), true);
  connected = true;
}

CConnectionGatewayMgr::~CConnectionGatewayMgr() {
  if (closeOnDispose && socket) socket->Close("Destructor");
}

// A failed relay attempt may leave its connection open (a silent relay): it is
// closed, not left behind, when the direct attempt takes its place.
void CConnectionGatewayMgr::ReplaceSocket(std::unique_ptr<CSocketZk> replacement) {
  if (socket) socket->Close("Destructor");
  socket = std::move(replacement);
}

bool CConnectionGatewayMgr::ConnectDirect(const std::string& addressText, uint16_t port, CStatusSink* sink) {
  Report(sink, "Connecting to System at " + addressText + ":" + std::to_string(port) + "...");
  ReplaceSocket(std::make_unique<CSocketZk>(addressText, port, kGatewayTimeoutMs));
  if (socket->connectOk) return true;
  errorText_ = "Cannot connect. " + socket->GetErrorText() + "\n";
  return false;
}

bool CConnectionGatewayMgr::ConnectRelay(const std::string& systemName, uint16_t port, CStatusSink* sink) {
  uint32_t networkOrder = 0;
  if (!platform::ResolveHost(RelayHostName(), &networkOrder)) {
    errorText_ = LastSocketError().text;
    return false;
  }
  uint8_t address[4];
  std::memcpy(address, &networkOrder, sizeof address);
  Report(sink, "Connecting to Relay Server at " + std::to_string(address[0]) + "." + std::to_string(address[1]) +
                   "." + std::to_string(address[2]) + "." + std::to_string(address[3]) + ":" +
                   std::to_string(kRelayPort) + "...");
  ReplaceSocket(std::make_unique<CSocketZk>(address, kRelayPort, kGatewayTimeoutMs));
  if (!socket->connectOk || !socket->isOpen) {
    errorText_ = "Cannot connect. " + socket->GetErrorText();
    return false;
  }
  Report(sink, "Connected to Relay Server.");
  Report(sink, "Requesting Gateway connection...");
  const std::array<uint8_t, kRelayRequestSize> request = BuildRelayRequest(systemName, port);
  if (!socket->Send(static_cast<int32_t>(request.size()), request.data(), true)) {
    errorText_ = "Communication to Relay Server failed. " + socket->GetErrorText();
    return false;
  }
  return AwaitRelayAnswer();
}

// Any bytes within kRelayWaitMs mean the relay accepted. The wait sleeps on the
// socket; once the relay has closed its end nothing more can come, and the rest
// of the wait is slept out rather than polled.
bool CConnectionGatewayMgr::AwaitRelayAnswer() {
  const uint32_t start = platform::CurrentClock().TickMs();
  bool relayDone = false;
  while (true) {
    const uint32_t elapsed = ElapsedMs(start);
    if (elapsed >= kRelayWaitMs) {
      errorText_ = "Relay Server rejected the request";
      return false;
    }
    if (socket->ReceiveRaw(0)) return true;
    const int left = static_cast<int>(kRelayWaitMs - elapsed);
    if (relayDone || !socket->isOpen) {
      platform::CurrentClock().Sleep(static_cast<uint32_t>(left));
    } else {
      // Readable with nothing to read, next time round, is the relay's end.
      relayDone = platform::WaitReadable(socket->handle, left) != platform::WaitResult::kTimedOut;
    }
  }
}

bool CConnectionGatewayMgr::SendRequest(uint16_t code) {
  std::unique_ptr<CZkMSG> request = CZkMSG::Create(0, code, 0, true);
  if (request) return SendMessage(*request);
  errorText_ = "Send failed. " + socket->GetErrorText();
  return false;
}

bool CConnectionGatewayMgr::SendMessage(CZkMSG& request) {
  if (socket->Send(request.GetWireSize(), request.GetWire(), request.GetQueueIfBlocked())) return true;
  errorText_ = "Send failed. " + socket->GetErrorText();
  return false;
}

// Polls until a message with one of `codes` is in the socket's messageBuffer,
// passing over any other, pausing after every poll that did not end the wait.
bool CConnectionGatewayMgr::AwaitAnswer(std::initializer_list<uint16_t> codes, uint16_t* code) {
  while (true) {
    if (!socket->isOpen) {
      errorText_ = "Communication to Gateway failed";
      return false;
    }
    if (socket->ReceiveMessage()) {
      const uint16_t received = MessageCode(socket->messageBuffer);
      if (std::find(codes.begin(), codes.end(), received) != codes.end()) {
        *code = received;
        return true;
      }
    }
    Pause();
  }
}

void CConnectionGatewayMgr::Pause() const { platform::CurrentClock().Sleep(kGatewayPollPauseMs); }

bool CConnectionGatewayMgr::GetChallenge(std::string* challenge) {
  uint16_t code = 0;
  if (!SendRequest(codes::ChallengeQuery) || !AwaitAnswer({codes::ChallengeAnswer}, &code)) return false;
  std::unique_ptr<CZkMSG> answer = CZkMSG::Wrap(socket->messageBuffer.data());
  if (!answer || !answer->ReadString(challenge)) {
    errorText_ = "Can't get Challenge String";
    return false;
  }
  Pause();
  return true;
}

bool CConnectionGatewayMgr::LoginToGateway(const std::string& systemName, const std::string& password,
                                           int32_t connectionType) {
  if (!SocketOpen()) {
    errorText_ = "Not connected. " + (socket ? socket->GetErrorText() : std::string());
    return false;
  }
  std::string challenge;
  if (!GetChallenge(&challenge)) return false;
  std::unique_ptr<CZkMSG> request =
      BuildRemoteLoginQuery(connectionType, systemName, LoginResponse(challenge, password));
  if (!request) {
    errorText_ = "Send failed. " + socket->GetErrorText();
    return false;
  }
  uint16_t code = 0;
  if (!SendMessage(*request) || !AwaitAnswer({codes::LoginRejected, codes::LoginAnswer}, &code)) return false;
  if (code == codes::LoginRejected) {
    errorText_ = "Login rejected by Gateway";
    return false;
  }
  Pause();
  return true;
}

bool CConnectionGatewayMgr::GetVersion() {
  uint16_t code = 0;
  if (!SendRequest(codes::VersionQuery) || !AwaitAnswer({codes::VersionAnswer}, &code)) return false;
  std::unique_ptr<CZkMSG> answer = CZkMSG::Wrap(socket->messageBuffer.data());
  if (!answer || !answer->ReadString(&versionText)) {
    errorText_ = "Can't get Version Info";
    return false;
  }
  // A system that sends only the text leaves the value at -1.
  answer->ReadInt(&versionValue);
  Pause();
  return true;
}

bool ConnectToGateway(const std::string& systemName, const std::string& password, const std::string& addressText,
                      uint16_t port, int32_t relayMode, int32_t connectionType, CStatusSink* sink) {
  if (theGatewayManager != nullptr) {
    theGatewayManager->SetErrorText("Previous instance of CConnectionGatewayMgr is not disposed");
    return false;
  }
  theGatewayManager = new CConnectionGatewayMgr(systemName, addressText, port, relayMode, sink);
  CConnectionGatewayMgr& manager = *theGatewayManager;
  if (!manager.connected) {
    Report(sink, "ERROR: " + GetGatewayError());
    return false;
  }
  Report(sink, "Connected to System, logging in...");
  if (!manager.LoginToGateway(systemName, password, connectionType)) {
    Report(sink, "ERROR: " + GetGatewayError());
    return false;
  }
  Report(sink, "Connection to System OK.");
  Report(sink, "Getting Version Information...");
  if (!manager.GetVersion()) {
    Report(sink, "ERROR: " + GetGatewayError());
    return false;
  }
  Report(sink, "Remote System Version is: " + manager.versionText + ".");
  return true;
}

void DisposeGatewayManager(bool closeConnection) {
  if (theGatewayManager == nullptr) return;
  theGatewayManager->closeOnDispose = closeConnection;
  delete theGatewayManager;
  theGatewayManager = nullptr;
}

std::string GetGatewayError() {
  return theGatewayManager != nullptr ? theGatewayManager->GetErrorText() : "No Instance created";
}

std::string GetRemoteVersionText() {
  return theGatewayManager != nullptr && theGatewayManager->connected ? theGatewayManager->versionText
                                                                       : std::string();
}
