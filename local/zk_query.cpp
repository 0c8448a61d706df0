#include "local/zk_query.h"

#include "local/zk_server.h"
#include "platform/clock.h"
#include "protocol/message.h"
#include "protocol/message_codes.h"

CZkQuery::CZkQuery() = default;

CZkQuery::~CZkQuery() {
  if (theServer != nullptr) theServer->Unregister(this);
}

bool CZkQuery::Ask(CZkMSG** answer, CZkMSG* request) {
  answer_.reset();
  return Send(request) && Wait(answer);
}

bool CZkQuery::Send(CZkMSG* request) {
  if (theServer == nullptr || !theServer->IsConnected() || request == nullptr) return false;
  theServer->Register(this);
  waiting_ = true;
  request->SetQueryId(queryId);
  if (!theServer->Send(request)) {
    theServer->Unregister(this);
    waiting_ = false;
    return false;
  }
  expectedCode_ = static_cast<uint16_t>(request->GetCode() + 1);
  sent_ = true;
  return true;
}

bool CZkQuery::Wait(CZkMSG** answer) {
  if (!sent_) return false;
  const uint32_t start = platform::CurrentClock().TickMs();
  if (answer_) {
    answer_->Rewind();
    *answer = answer_.get();
    return true;
  }
  waiting_ = true;
  while (waiting_) {
    if (ElapsedMs(start) >= timeoutMs_) {
      waiting_ = false;
      theServer->Unregister(this);
      return false;
    }
    if (theServer->Pump(queryId, kPumpSliceMs) == 0) {
      theServer->Unregister(this);
      waiting_ = false;
      return false;
    }
  }
  theServer->Unregister(this);
  if (!answer_ || answer_->GetCode() != expectedCode_) return false;
  *answer = answer_.get();
  return true;
}

void CZkQuery::OnMessage(CZkMSG* message) {
  if (message->GetQueryId() == kBroadcastQueryId) return;
  answer_ = message->Clone();
  waiting_ = false;
  if (theServer != nullptr) theServer->Unregister(this);
}
