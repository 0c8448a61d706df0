// The frame of the sim's internet services (discovery service, relay server): one
// thread accepts on an address and port, each connection is served by a handler on
// a thread of its own that blocks in its calls. Stop() shuts down the receiving
// side of the listener and of every socket the service knows, which wakes every
// blocked call, then joins the threads: it returns promptly even with clients
// connected. Like the protocol service it never reads the platform clock, so a
// test may move its own clock while the service runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "platform/socket.h"

class TcpService {
 public:
  // Serves one connection and returns when it is done; the service closes it.
  using Handler = std::function<void(platform::SocketHandle connection)>;

  TcpService() = default;
  ~TcpService() { Stop(); }
  TcpService(const TcpService&) = delete;
  TcpService& operator=(const TcpService&) = delete;

  // Listens on address (network order) and port (host order, 0 = any free one).
  // False with *error set when it cannot.
  bool Start(uint32_t address, uint16_t port, Handler handler, std::string* error);
  void Stop();

  bool Stopping() const { return stopping_; }
  uint16_t Port() const { return port_; }
  size_t ConnectionCount() const;
  // A socket a handler opened itself, so that Stop wakes its calls too. False once
  // Stop has begun: the handler must then close it and return.
  bool Track(platform::SocketHandle socket);
  void Untrack(platform::SocketHandle socket);

 private:
  struct Worker {
    std::thread thread;
    std::atomic<bool> done{false};
  };

  void AcceptLoop();
  void ReapFinishedWorkers();

  Handler handler_;
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  bool running_ = false;
  platform::SocketHandle listener_ = platform::kInvalidSocket;
  std::thread acceptor_;
  std::list<std::unique_ptr<Worker>> workers_;  // the acceptor's until it is joined

  mutable std::mutex mutex_;  // guards what follows
  std::set<platform::SocketHandle> liveSockets_;
  size_t connections_ = 0;
};
