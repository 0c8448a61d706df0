#include "tools/sim/discovery_service.h"

#include <chrono>

#include "protocol/message.h"
#include "protocol/message_codes.h"
#include "tools/sim/request_stream.h"
#include "tools/sim/wire_bytes.h"

namespace codes = message_codes;

namespace {

constexpr size_t kReceiveChunk = 4096;

const SimRemoteSystem* FindSystem(const SimDiscoveryServiceConfig& config, const std::string& name) {
  for (const SimRemoteSystem& system : config.systems) {
    if (system.name == name) return &system;
  }
  return nullptr;
}

}  // namespace

bool SimDiscoveryService::Start(const SimDiscoveryServiceConfig& config) {
  config_ = config;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lookups_.clear();
  }
  return service_.Start(config.bindAddress, config.port,
                        [this](platform::SocketHandle connection) { Serve(connection); }, &error_);
}

std::vector<SimLookup> SimDiscoveryService::Lookups() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lookups_;
}

bool SimDiscoveryService::WaitForLookups(size_t count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return lookups_.size() >= count; });
}

std::vector<uint8_t> SimDiscoveryService::LookupAnswer(const SimDiscoveryServiceConfig& config,
                                                       const std::string& systemName) {
  const SimRemoteSystem* system = FindSystem(config, systemName);
  std::vector<uint8_t> payload;
  AppendByte(&payload, system != nullptr ? 1 : 0);
  AppendByte(&payload, 0);
  AppendString(&payload, system != nullptr ? system->address : std::string());
  AppendShort(&payload, system != nullptr ? system->port : 0);
  AppendByte(&payload, system != nullptr ? system->publicPortOpen : 0);
  AppendByte(&payload, system != nullptr ? system->relayMode : 0);
  return WireMessage(0, codes::SystemLookupAnswer, payload);
}

void SimDiscoveryService::Serve(platform::SocketHandle connection) {
  RequestStream stream(false);
  uint8_t buffer[kReceiveChunk];
  while (!service_.Stopping()) {
    const long received = platform::ReceiveSome(connection, buffer, sizeof buffer);
    if (received <= 0) return;
    stream.Feed(buffer, static_cast<size_t>(received));
    std::vector<uint8_t> request;
    RequestStream::Result next;
    while ((next = stream.Next(&request)) == RequestStream::Result::kMessage) {
      const std::vector<uint8_t> reply = Reply(request);
      if (!reply.empty() && !SendAllBlocking(connection, reply)) return;
    }
    if (next == RequestStream::Result::kOversize) return;
  }
}

// Records a lookup and says what goes back; empty for nothing.
std::vector<uint8_t> SimDiscoveryService::Reply(const std::vector<uint8_t>& bytes) {
  std::unique_ptr<CZkMSG> request = CZkMSG::Wrap(bytes.data());
  if (!request || request->GetCode() != codes::SystemLookupQuery) return {};
  SimLookup lookup;
  request->ReadString(&lookup.systemName);
  request->ReadString(&lookup.serviceName);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lookups_.push_back(lookup);
    changed_.notify_all();
  }
  switch (config_.reply) {
    case LookupReply::kAnswer:
      return LookupAnswer(config_, lookup.systemName);
    case LookupReply::kError: {
      std::vector<uint8_t> payload;
      AppendString(&payload, config_.errorText);
      return WireMessage(0, codes::DiscoveryError, payload);
    }
    case LookupReply::kCode:
      return WireMessage(0, config_.replyCode, {});
    case LookupReply::kSilent:
      break;
  }
  return {};
}
