// The simulated adapter's UDP side: a socket on one address and port (and, when
// asked, a second one that hears what is sent to another address, as an adapter
// hears its subnet's broadcast), served by one thread. Each datagram received goes
// to the handler, which records it and says what to send back; the replies leave
// from the first socket, so they carry the bind address as their source.
//
// The thread never reads the platform clock: it polls the sockets without waiting
// and sleeps between polls with the standard library, so a test may move its own
// clock while the service runs. Stop returns within one such sleep.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"

class UdpService {
 public:
  using Bytes = std::vector<uint8_t>;
  // Called on the service's thread for every datagram; returns the replies.
  using Handler = std::function<std::vector<Bytes>(const platform::SocketAddress& from, bool heardOnSecond,
                                                    const Bytes& datagram)>;
  // Called after the replies to one datagram went out, with how many did.
  using SentHandler = std::function<void(size_t sent)>;

  UdpService() = default;
  ~UdpService() { Stop(); }
  UdpService(const UdpService&) = delete;
  UdpService& operator=(const UdpService&) = delete;

  // Binds address:port (and secondAddress:port unless it is 0; both network order,
  // port in host order) with address reuse, so several simulated adapters can share
  // the port on their own addresses. False with *error set when a bind fails.
  bool Start(uint32_t address, uint16_t port, uint32_t secondAddress, Handler handler, SentHandler sent,
             std::string* error);
  void Stop();

 private:
  void Loop();
  // Reads and answers what waits on one socket; true when there was anything.
  bool Drain(platform::SocketHandle socket, bool second);
  platform::SocketHandle Bind(uint32_t address, uint16_t port, std::string* error);

  platform::SocketHandle socket_ = platform::kInvalidSocket;
  platform::SocketHandle second_ = platform::kInvalidSocket;
  Handler handler_;
  SentHandler sent_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};
