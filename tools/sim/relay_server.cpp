#include "tools/sim/relay_server.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "tools/sim/wire_bytes.h"

namespace {

constexpr size_t kNameField = 32;
constexpr size_t kReceiveChunk = 4096;

std::string NameInRequest(const std::vector<uint8_t>& request) {
  const auto end = std::find(request.begin(), request.begin() + kNameField, 0);
  return std::string(request.begin(), end);
}

// Copies until either side ends, then wakes the other direction.
void Pump(platform::SocketHandle from, platform::SocketHandle to) {
  uint8_t buffer[kReceiveChunk];
  while (true) {
    const long received = platform::ReceiveSome(from, buffer, sizeof buffer);
    if (received <= 0 || !SendAllBlocking(to, std::vector<uint8_t>(buffer, buffer + received))) break;
  }
  platform::ShutdownReceive(to);
}

}  // namespace

bool SimRelayServer::Start(const SimRelayConfig& config) {
  config_ = config;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
    closed_ = 0;
  }
  return service_.Start(config.bindAddress, config.port, [this](platform::SocketHandle client) { Serve(client); },
                        &error_);
}

std::vector<std::vector<uint8_t>> SimRelayServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

bool SimRelayServer::WaitForRequests(size_t count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return requests_.size() >= count; });
}

size_t SimRelayServer::ClosedCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

bool SimRelayServer::WaitForClosed(size_t count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return closed_ >= count; });
}

void SimRelayServer::Record(const std::vector<uint8_t>* request, bool closed) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (request != nullptr) requests_.push_back(*request);
  if (closed) ++closed_;
  changed_.notify_all();
}

void SimRelayServer::Serve(platform::SocketHandle client) {
  std::vector<uint8_t> request;
  if (ReadRequest(client, &request)) {
    Record(&request, false);
    if (config_.fault == RelayFault::kSilent) {
      // Hears everything, says nothing, until the launcher gives up.
      uint8_t buffer[kReceiveChunk];
      while (platform::ReceiveSome(client, buffer, sizeof buffer) > 0) {
      }
    } else if (config_.fault == RelayFault::kNone && NameInRequest(request) == config_.systemName) {
      const platform::SocketHandle gateway = platform::CreateTcpSocket();
      if (gateway != platform::kInvalidSocket && service_.Track(gateway)) {
        if (platform::Connect(gateway, platform::MakeSocketAddress(config_.gatewayAddress, config_.gatewayPort)) &&
            SendAllBlocking(client, std::vector<uint8_t>(config_.acceptBytes.begin(), config_.acceptBytes.end()))) {
          Relay(client, gateway);
        }
        service_.Untrack(gateway);
      }
      platform::CloseSocket(gateway);
    }
  }
  Record(nullptr, true);
}

// Exactly the request's bytes: whatever follows belongs to the gateway.
bool SimRelayServer::ReadRequest(platform::SocketHandle client, std::vector<uint8_t>* request) {
  request->resize(kRelayRequestBytes);
  size_t have = 0;
  while (have < kRelayRequestBytes) {
    const long received = platform::ReceiveSome(client, request->data() + have, kRelayRequestBytes - have);
    if (received <= 0) return false;
    have += static_cast<size_t>(received);
  }
  return true;
}

void SimRelayServer::Relay(platform::SocketHandle client, platform::SocketHandle gateway) {
  std::thread back([client, gateway] { Pump(gateway, client); });
  Pump(client, gateway);
  back.join();
}
