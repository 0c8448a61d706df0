// The launcher's single connection to the chosen system. It owns the socket
// engine, keeps the login data, hands every request an identifier and routes each
// incoming message to the query waiting for it. Messages nobody waits for are set
// aside in `deferred`, where a later query with that identifier finds them first.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "local/socket_sink.h"
#include "local/zk_socket.h"
#include "platform/socket.h"
#include "protocol/object_list.h"

class CZkMSG;

class CZkServer : public CSocketSink {
 public:
  // Identifiers run 2, 3, ..., kLastQueryId, 1, 2, ...: 0 is the manager's own and
  // 0x7FFF marks messages addressed to every listener.
  static constexpr uint16_t kLastQueryId = 0x7FFE;
  // Set-aside messages kept at most, by count and by bytes; the oldest go first.
  // Systems announce things unasked, and a long run must not pile them up without
  // end. The count alone would still let 256 messages of 2 MB each be kept.
  static constexpr int kMaxDeferred = 256;
  static constexpr int64_t kMaxDeferredBytes = 2 * int64_t{CZkSocket::kBufferSize};

  CZkServer();
  ~CZkServer() override;

  void SetPassword(const std::string& text) { password_ = text; }
  void SetHardwareAddress(const std::string& text) { hardwareAddress_ = text; }
  const std::string& GetHardwareAddress() const { return hardwareAddress_; }
  CZkSocket* GetSocket() { return socket_.get(); }
  bool IsConnected() const { return socket_ && socket_->IsOpen(); }

  uint16_t NextQueryId();
  bool Register(CSocketSink* sink);
  void Unregister(CSocketSink* sink);
  bool Send(CZkMSG* message);
  void Dispatch(CZkMSG* message);
  // Handles at most one incoming message for `id`: 0 the connection failed,
  // 1 nothing arrived, 2 something was handled or more bytes came.
  int Pump(uint16_t id, int timeoutMs);

  // Connects to a system on the local network and logs in (address in network
  // byte order, port in host byte order). connectionType 0: viewer, 3: configurator.
  bool ConnectLocal(uint32_t address, uint16_t port, int32_t connectionType);
  bool Login(const std::string& challenge, const std::string& password, int32_t connectionType,
             const std::string& loginName);

  int GetDeferredCount() const { return deferred_.GetCount(); }
  const platform::SocketAddress& GetTarget() const { return target_; }

 private:
  void Defer(CZkMSG* message);
  CZkMSG* TakeDeferred(CZkObList::Position position);

  std::unique_ptr<CZkSocket> socket_;
  CZkObList sinks_;
  CZkObList deferred_;  // owned CZkMSG*
  int64_t deferredBytes_ = 0;  // wire sizes of the messages in deferred_
  uint16_t nextQueryId_ = 1;
  platform::SocketAddress target_;
  std::string password_;
  std::string hardwareAddress_;
};

// The one connection manager of the process; null before start-up and after the end.
extern CZkServer* theServer;
