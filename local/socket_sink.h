// Whatever receives messages from the connection manager: a message is delivered
// to the first registered sink whose queryId equals the message's.
#pragma once

#include <cstdint>

class CZkMSG;

class CSocketSink {
 public:
  // Takes a fresh identifier from theServer.
  CSocketSink();
  explicit CSocketSink(uint16_t id) : queryId(id) {}
  virtual ~CSocketSink() = default;
  CSocketSink(const CSocketSink&) = delete;
  CSocketSink& operator=(const CSocketSink&) = delete;

  // The message belongs to the socket's buffer and lives only for this call.
  virtual void OnMessage(CZkMSG* message) { (void)message; }

  uint16_t queryId;
};
