// The simulated pool system's protocol service: a real TCP server on the address
// and port of a SimConfig, answering the launcher's requests (challenge, login,
// version, system name, controller configuration) with the configured content and
// faults. It runs on threads of its own, inside a test or as tidewatcher-sim.
// With SimConfig::discovery enabled it also plays the protocol adapter's UDP side
// on port 1444 of the same address (udp_service.h, adapter_responder.h); with
// holdGatewayMutex it holds "GatewayMutex" while it runs, as the gateway program on
// this computer does.
//
// One thread accepts; each connection is served by a thread of its own that blocks
// in its receive. Stop() wakes every one of them by shutting down the receiving
// side of their sockets, so it returns promptly even with clients connected. The
// sim never reads the platform clock while it serves (it waits in blocking calls
// and standard sleeps), so a test may move its own clock while the sim runs.
//
// Everything received is recorded, in arrival order, before it is answered: a test
// that has read an answer can rely on the request being in Requests(). Datagrams
// too; SimRecord::datagramsSent counts the replies once they have gone out.
//
// The sim sends only on connections clients opened to it and to the senders of
// datagrams it received, and listens only where the config says.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/named_mutex.h"
#include "platform/socket.h"
#include "protocol/message.h"
#include "tools/sim/adapter_responder.h"
#include "tools/sim/login_request.h"
#include "tools/sim/request_stream.h"
#include "tools/sim/sim_config.h"
#include "tools/sim/sim_session.h"
#include "tools/sim/transmission.h"
#include "tools/sim/udp_service.h"

struct ReceivedRequest {
  size_t connection = 0;  // index into SimRecord::connections
  uint16_t queryId = 0;
  uint16_t code = 0;
  std::vector<uint8_t> payload;
};

struct ConnectionRecord {
  platform::SocketAddress peer;
  std::string firstBytes;          // the first bytes received, up to 21
  bool preambleReceived = false;   // they were "CONNECTSERVERHOST\r\n\r\n"
  bool loggedIn = false;
  bool loginRequestReceived = false;
  LoginRequest lastLogin;          // the last readable LoginQuery, accepted or not
  bool closed = false;
  bool closedByClient = false;     // the client closed first (not the sim nor Stop)
};

// One datagram that reached the adapter's UDP side.
struct ReceivedDatagram {
  platform::SocketAddress from;
  bool heardOnSecond = false;  // sent to SimDiscovery::alsoHearOn, not the bind address
  std::vector<uint8_t> bytes;
};

struct SimRecord {
  std::vector<ConnectionRecord> connections;  // in accept order
  std::vector<ReceivedRequest> requests;      // in arrival order, all connections
  std::vector<ReceivedDatagram> datagrams;    // in arrival order
  size_t datagramsSent = 0;                   // replies that have gone out
  IpRecordBytes adapterIpRecord{};            // the adapter's IP record as it stands
};

class SimulatedSystem {
 public:
  SimulatedSystem() = default;
  ~SimulatedSystem() { Stop(); }
  SimulatedSystem(const SimulatedSystem&) = delete;
  SimulatedSystem& operator=(const SimulatedSystem&) = delete;

  // Called on a connection's thread for every request, before it is answered;
  // calls are serialised. Set it before Start.
  void SetRequestObserver(std::function<void(const ReceivedRequest&)> observer);
  // The same for every datagram of the UDP side, on its thread.
  void SetDatagramObserver(std::function<void(const ReceivedDatagram&)> observer);

  // Listens and starts serving; the record starts empty. False, with Error() set,
  // when an address cannot be bound, "GatewayMutex" is held elsewhere, or the sim
  // already runs.
  bool Start(const SimConfig& config);
  // Closes the listener and every connection and joins every thread. Bounded: no
  // wait depends on a client. Safe to call twice; Start may follow.
  void Stop();

  bool IsRunning() const { return running_; }
  const std::string& Error() const { return error_; }
  // The port really bound (host order) and the address, network order.
  uint16_t Port() const { return port_; }
  uint32_t Address() const { return config_.bindAddress; }
  const SimConfig& Config() const { return config_; }

  // Snapshots of the record.
  SimRecord Record() const;
  std::vector<ReceivedRequest> Requests() const;
  std::vector<ReceivedRequest> RequestsWithCode(uint16_t code) const;
  std::vector<ConnectionRecord> Connections() const;
  size_t ConnectionCount() const;
  std::vector<ReceivedDatagram> Datagrams() const;

  // Waits (real time) until the condition holds for the record; false on time-out.
  bool WaitUntil(const std::function<bool(const SimRecord&)>& condition, int timeoutMs) const;
  bool WaitForRequests(size_t count, int timeoutMs) const;
  // Until `count` replies have gone out on the UDP side.
  bool WaitForDatagramsSent(size_t count, int timeoutMs) const;

 private:
  struct Worker {
    std::thread thread;
    std::atomic<bool> done{false};
  };

  bool StartGatewayAndAdapter();
  bool StartOtherAdapter();
  void SendAsOtherAdapter(const platform::SocketAddress& to, const UdpService::Bytes& request);
  std::vector<UdpService::Bytes> OnDatagram(const platform::SocketAddress& from, bool heardOnSecond,
                                            const UdpService::Bytes& bytes);
  void AcceptLoop();
  bool Admit(platform::SocketHandle socket, const platform::SocketAddress& peer, size_t* index);
  void ReapFinishedWorkers();
  void Serve(size_t index, platform::SocketHandle socket);
  bool ServeUntilClosed(size_t index, platform::SocketHandle socket, RequestStream& stream, SimSession& session);
  bool Handle(size_t index, platform::SocketHandle socket, const std::vector<uint8_t>& bytes, SimSession& session);
  void RecordRequest(size_t index, const CZkMSG& request);
  void Finish(size_t index, platform::SocketHandle socket, bool byClient);
  bool SendAll(platform::SocketHandle socket, const uint8_t* bytes, size_t n) const;
  bool Transmit(platform::SocketHandle socket, const Transmission& plan) const;
  template <typename Change>
  void Update(Change change);

  SimConfig config_;
  std::string error_;
  uint16_t port_ = 0;
  bool running_ = false;
  std::atomic<bool> stopping_{false};
  platform::SocketHandle listener_ = platform::kInvalidSocket;
  std::thread acceptor_;
  std::list<std::unique_ptr<Worker>> workers_;  // the acceptor's until it is joined

  mutable std::mutex mutex_;  // guards what follows
  mutable std::condition_variable changed_;
  std::set<platform::SocketHandle> liveSockets_;
  SimRecord record_;

  std::mutex observerMutex_;
  std::function<void(const ReceivedRequest&)> observer_;
  std::function<void(const ReceivedDatagram&)> datagramObserver_;

  platform::NamedMutexHolder gatewayMutex_;
  std::unique_ptr<AdapterResponder> responder_;
  UdpService udp_;
  // Sends the other adapter's answers (SimIpConfig::otherAdapter); never read.
  platform::SocketHandle otherAdapter_ = platform::kInvalidSocket;
};
