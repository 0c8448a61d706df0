#include "tools/sim/tcp_service.h"

#include <chrono>

#include "platform/network_tables.h"
#include "platform/socket_errors.h"

namespace {

constexpr int kBacklog = 16;
constexpr auto kAcceptRetryPause = std::chrono::milliseconds(10);

}  // namespace

bool TcpService::Start(uint32_t address, uint16_t port, Handler handler, std::string* error) {
  if (running_) {
    *error = "the service is already running";
    return false;
  }
  platform::SocketAddress bound;
  listener_ = platform::ListenTcp(platform::MakeSocketAddress(address, port), kBacklog, &bound);
  if (listener_ == platform::kInvalidSocket) {
    const int code = platform::LastSocketErrorCode();
    *error = "cannot listen on " + FormatIPv4(address) + ":" + std::to_string(port) + ": Error #" +
             std::to_string(code) + " " + SocketErrorText(code);
    return false;
  }
  port_ = platform::HostPort(bound);
  handler_ = std::move(handler);
  connections_ = 0;
  stopping_ = false;
  running_ = true;
  acceptor_ = std::thread(&TcpService::AcceptLoop, this);
  return true;
}

void TcpService::Stop() {
  if (!running_) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    platform::ShutdownReceive(listener_);
    for (platform::SocketHandle socket : liveSockets_) platform::ShutdownReceive(socket);
  }
  acceptor_.join();
  platform::CloseSocket(listener_);
  listener_ = platform::kInvalidSocket;
  for (const std::unique_ptr<Worker>& worker : workers_) worker->thread.join();
  workers_.clear();
  running_ = false;
}

size_t TcpService::ConnectionCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return connections_;
}

bool TcpService::Track(platform::SocketHandle socket) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopping_) return false;
  liveSockets_.insert(socket);
  return true;
}

void TcpService::Untrack(platform::SocketHandle socket) {
  std::lock_guard<std::mutex> lock(mutex_);
  liveSockets_.erase(socket);
}

void TcpService::AcceptLoop() {
  while (!stopping_) {
    const platform::SocketHandle socket = platform::Accept(listener_, nullptr);
    if (socket == platform::kInvalidSocket) {
      if (!stopping_) std::this_thread::sleep_for(kAcceptRetryPause);
      continue;
    }
    if (!Track(socket)) {
      platform::CloseSocket(socket);
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++connections_;
    }
    ReapFinishedWorkers();
    auto worker = std::make_unique<Worker>();
    Worker* running = worker.get();
    worker->thread = std::thread([this, running, socket] {
      handler_(socket);
      Untrack(socket);
      platform::CloseSocket(socket);
      running->done = true;
    });
    workers_.push_back(std::move(worker));
  }
}

void TcpService::ReapFinishedWorkers() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if ((*it)->done) {
      (*it)->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}
