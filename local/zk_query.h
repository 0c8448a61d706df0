// One request/answer exchange on the manager's connection. The request goes out
// under the query's own identifier; the query then reads the stream on the calling
// thread in 50 ms slices until the answer with that identifier arrives or its
// time-out passes. The answer must carry the request's code plus one.
#pragma once

#include <cstdint>
#include <memory>

#include "local/socket_sink.h"

class CZkMSG;

class CZkQuery : public CSocketSink {
 public:
  static constexpr uint32_t kDefaultTimeoutMs = 5000;
  static constexpr int kPumpSliceMs = 50;

  CZkQuery();
  ~CZkQuery() override;

  void SetTimeout(uint32_t milliseconds) { timeoutMs_ = milliseconds; }
  // Send then Wait. On success *answer is the answer, owned by the query and valid
  // until it is destroyed or asks again.
  bool Ask(CZkMSG** answer, CZkMSG* request);
  bool Send(CZkMSG* request);
  bool Wait(CZkMSG** answer);
  void OnMessage(CZkMSG* message) override;

 private:
  uint32_t timeoutMs_ = kDefaultTimeoutMs;
  std::unique_ptr<CZkMSG> answer_;
  bool waiting_ = false;
  uint16_t expectedCode_ = 0;
  bool sent_ = false;
};
