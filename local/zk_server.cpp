#include "local/zk_server.h"

#include "protocol/message.h"

CZkServer* theServer = nullptr;

CSocketSink::CSocketSink() : queryId(theServer != nullptr ? theServer->NextQueryId() : 0) {}

CZkServer::CZkServer() : CSocketSink(0), socket_(new CZkSocket) { Register(this); }

CZkServer::~CZkServer() {
  socket_.reset();
  Unregister(this);
  while (!deferred_.IsEmpty()) delete TakeDeferred(deferred_.GetHeadPosition());
}

uint16_t CZkServer::NextQueryId() {
  nextQueryId_ = nextQueryId_ == kLastQueryId ? 1 : static_cast<uint16_t>(nextQueryId_ + 1);
  return nextQueryId_;
}

bool CZkServer::Register(CSocketSink* sink) {
  if (sinks_.Contains(sink)) return false;
  sinks_.AddTail(sink);
  return true;
}

void CZkServer::Unregister(CSocketSink* sink) { sinks_.Remove(sink); }

bool CZkServer::Send(CZkMSG* message) {
  if (!socket_ || message == nullptr) return false;
  const uint8_t* wire = message->GetWire();
  return socket_->SendAll(message->GetWireSize(), wire);
}

void CZkServer::Dispatch(CZkMSG* message) {
  CZkObList::Position position = sinks_.GetHeadPosition();
  while (position != nullptr) {
    CSocketSink* sink = static_cast<CSocketSink*>(sinks_.GetNext(&position));
    if (sink->queryId == message->GetQueryId()) {
      sink->OnMessage(message);
      return;
    }
  }
}

void CZkServer::Defer(CZkMSG* message) {
  if (message == nullptr) return;
  const int64_t size = message->GetWireSize();
  while (!deferred_.IsEmpty() &&
         (deferred_.GetCount() >= kMaxDeferred || deferredBytes_ + size > kMaxDeferredBytes)) {
    delete TakeDeferred(deferred_.GetHeadPosition());
  }
  deferred_.AddTail(message);
  deferredBytes_ += size;
}

CZkMSG* CZkServer::TakeDeferred(CZkObList::Position position) {
  CZkMSG* message = static_cast<CZkMSG*>(deferred_.GetAt(position));
  deferred_.RemoveAt(position);
  deferredBytes_ -= message->GetWireSize();
  return message;
}

int CZkServer::Pump(uint16_t id, int timeoutMs) {
  CZkObList::Position position = deferred_.GetHeadPosition();
  while (position != nullptr) {
    CZkObList::Position current = position;
    CZkMSG* message = static_cast<CZkMSG*>(deferred_.GetNext(&position));
    if (message->GetQueryId() == id) {
      TakeDeferred(current);
      Dispatch(message);
      delete message;
      return 2;
    }
  }
  if (!socket_->IsOpen()) return 0;
  const ReceiveResult result = socket_->Receive(timeoutMs);
  if (result != ReceiveMessageReady) return result == ReceiveFailed ? 0 : (result == ReceiveNothing ? 1 : 2);
  const uint8_t* bytes = socket_->TakeMessage();
  std::unique_ptr<CZkMSG> message = CZkMSG::Wrap(bytes);
  const int32_t size = static_cast<int32_t>(bytes[4] | bytes[5] << 8 | bytes[6] << 16 | bytes[7] << 24) + 8;
  const uint16_t messageId = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
  if (message && messageId == id) {
    Dispatch(message.get());
  } else if (message) {
    Defer(message->Clone().release());
  }
  socket_->Consume(bytes, size);
  return 2;
}
