#include "tools/sim/simulated_system.h"

#include <chrono>

#include "platform/network_tables.h"
#include "platform/socket_errors.h"

using platform::SocketHandle;

namespace {

constexpr int kBacklog = 16;
constexpr size_t kReceiveChunk = 4096;
// Spacing of the bytes of a byte-at-a-time answer, so the client sees them arrive
// one by one rather than coalesced.
constexpr auto kByteSpacing = std::chrono::milliseconds(1);
// Pause before retrying a send the client's full window refused, or an accept
// that failed (descriptors exhausted).
constexpr auto kRetryPause = std::chrono::milliseconds(1);
constexpr auto kAcceptRetryPause = std::chrono::milliseconds(10);
constexpr char kGatewayMutexName[] = "GatewayMutex";

std::string ListenError(const SimConfig& config) {
  const int code = platform::LastSocketErrorCode();
  return "cannot listen on " + FormatIPv4(config.bindAddress) + ":" + std::to_string(config.port) + ": Error #" +
         std::to_string(code) + " " + SocketErrorText(code);
}

}  // namespace

void SimulatedSystem::SetRequestObserver(std::function<void(const ReceivedRequest&)> observer) {
  std::lock_guard<std::mutex> lock(observerMutex_);
  observer_ = std::move(observer);
}

void SimulatedSystem::SetDatagramObserver(std::function<void(const ReceivedDatagram&)> observer) {
  std::lock_guard<std::mutex> lock(observerMutex_);
  datagramObserver_ = std::move(observer);
}

bool SimulatedSystem::Start(const SimConfig& config) {
  if (running_) {
    error_ = "the simulated system is already running";
    return false;
  }
  config_ = config;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    record_ = SimRecord();
  }
  platform::SocketAddress bound;
  listener_ = platform::ListenTcp(platform::MakeSocketAddress(config.bindAddress, config.port), kBacklog, &bound);
  if (listener_ == platform::kInvalidSocket) {
    error_ = ListenError(config);
    return false;
  }
  port_ = platform::HostPort(bound);
  error_.clear();
  if (!StartGatewayAndAdapter()) {
    platform::CloseSocket(listener_);
    listener_ = platform::kInvalidSocket;
    return false;
  }
  stopping_ = false;
  running_ = true;
  acceptor_ = std::thread(&SimulatedSystem::AcceptLoop, this);
  return true;
}

// The gateway's mutex and the adapter's UDP side, as the config asks; false with
// Error() set, and neither of them left behind, when one cannot be had.
bool SimulatedSystem::StartGatewayAndAdapter() {
  if (config_.holdGatewayMutex && !gatewayMutex_.Acquire(kGatewayMutexName)) {
    error_ = std::string("cannot hold ") + kGatewayMutexName + " at " + platform::NamedMutexPath(kGatewayMutexName) +
             ": another program holds it, or the lock file is not ours";
    return false;
  }
  if (!config_.discovery.enabled) return true;
  responder_ = std::make_unique<AdapterResponder>(config_, port_, config_.bindAddress);
  Update([&](SimRecord& record) { record.adapterIpRecord = responder_->IpRecord(); });
  if (!StartOtherAdapter()) {
    gatewayMutex_.Release();
    return false;
  }
  const bool started = udp_.Start(
      config_.bindAddress, kAdapterUdpPort, config_.discovery.alsoHearOn,
      [this](const platform::SocketAddress& from, bool second, const UdpService::Bytes& bytes) {
        return OnDatagram(from, second, bytes);
      },
      [this](size_t sent) { Update([&](SimRecord& record) { record.datagramsSent += sent; }); }, &error_);
  if (!started) {
    platform::CloseSocket(otherAdapter_);
    otherAdapter_ = platform::kInvalidSocket;
    gatewayMutex_.Release();
  }
  return started;
}

// The other adapter only sends, from an ephemeral port of its own address.
bool SimulatedSystem::StartOtherAdapter() {
  const uint32_t address = config_.ipConfig.otherAdapter;
  if (address == 0) return true;
  otherAdapter_ = platform::CreateUdpSocket();
  if (otherAdapter_ != platform::kInvalidSocket && platform::BindUdp(otherAdapter_, platform::MakeSocketAddress(address, 0))) {
    return true;
  }
  const int code = platform::LastSocketErrorCode();
  error_ = "cannot bind UDP " + FormatIPv4(address) + " for the other adapter: Error #" + std::to_string(code) + " " +
           SocketErrorText(code);
  platform::CloseSocket(otherAdapter_);
  otherAdapter_ = platform::kInvalidSocket;
  return false;
}

void SimulatedSystem::SendAsOtherAdapter(const platform::SocketAddress& to, const UdpService::Bytes& request) {
  size_t sent = 0;
  for (const Datagram& reply : responder_->OtherAdapterReplies(request)) {
    if (platform::SendDatagram(otherAdapter_, reply.data(), reply.size(), to) == static_cast<long>(reply.size())) ++sent;
  }
  if (sent > 0) Update([&](SimRecord& record) { record.datagramsSent += sent; });
}

// Records the datagram before answering it, like the requests of the TCP side.
std::vector<UdpService::Bytes> SimulatedSystem::OnDatagram(const platform::SocketAddress& from, bool heardOnSecond,
                                                           const UdpService::Bytes& bytes) {
  ReceivedDatagram received;
  received.from = from;
  received.heardOnSecond = heardOnSecond;
  received.bytes = bytes;
  {
    std::lock_guard<std::mutex> lock(observerMutex_);
    if (datagramObserver_) datagramObserver_(received);
  }
  Update([&](SimRecord& record) { record.datagrams.push_back(std::move(received)); });
  SendAsOtherAdapter(from, bytes);
  std::vector<UdpService::Bytes> replies = responder_->Reply(bytes);
  Update([&](SimRecord& record) { record.adapterIpRecord = responder_->IpRecord(); });
  return replies;
}

void SimulatedSystem::Stop() {
  if (!running_) return;
  udp_.Stop();
  platform::CloseSocket(otherAdapter_);
  otherAdapter_ = platform::kInvalidSocket;
  gatewayMutex_.Release();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    // Shutting down the receiving side wakes a blocked accept or receive at once.
    platform::ShutdownReceive(listener_);
    for (SocketHandle socket : liveSockets_) platform::ShutdownReceive(socket);
  }
  acceptor_.join();
  platform::CloseSocket(listener_);
  listener_ = platform::kInvalidSocket;
  for (const std::unique_ptr<Worker>& worker : workers_) worker->thread.join();
  workers_.clear();
  running_ = false;
}

void SimulatedSystem::AcceptLoop() {
  while (!stopping_) {
    platform::SocketAddress peer;
    const SocketHandle socket = platform::Accept(listener_, &peer);
    if (socket == platform::kInvalidSocket) {
      if (!stopping_) std::this_thread::sleep_for(kAcceptRetryPause);
      continue;
    }
    size_t index = 0;
    if (!Admit(socket, peer, &index)) return;
    platform::SetNoDelay(socket, true);
    ReapFinishedWorkers();
    auto worker = std::make_unique<Worker>();
    Worker* running = worker.get();
    worker->thread = std::thread([this, running, index, socket] {
      Serve(index, socket);
      running->done = true;
    });
    workers_.push_back(std::move(worker));
  }
}

// Registers the connection so Stop can reach it; refuses it once Stop has begun.
bool SimulatedSystem::Admit(SocketHandle socket, const platform::SocketAddress& peer, size_t* index) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopping_) {
    platform::CloseSocket(socket);
    return false;
  }
  *index = record_.connections.size();
  ConnectionRecord connection;
  connection.peer = peer;
  record_.connections.push_back(connection);
  liveSockets_.insert(socket);
  changed_.notify_all();
  return true;
}

void SimulatedSystem::ReapFinishedWorkers() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if ((*it)->done) {
      (*it)->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

void SimulatedSystem::Serve(size_t index, SocketHandle socket) {
  RequestStream stream(config_.requirePreamble);
  SimSession session(config_);
  const bool byClient = ServeUntilClosed(index, socket, stream, session);
  Finish(index, socket, byClient);
}

// True when the client closed the connection; false when the sim gives it up.
bool SimulatedSystem::ServeUntilClosed(size_t index, SocketHandle socket, RequestStream& stream,
                                       SimSession& session) {
  uint8_t buffer[kReceiveChunk];
  while (!stopping_) {
    const long received = platform::ReceiveSome(socket, buffer, sizeof buffer);
    // An end or a reset that Stop did not cause is the client's doing.
    if (received <= 0) return !stopping_;
    const bool badPreamble = stream.Feed(buffer, static_cast<size_t>(received)) == RequestStream::Result::kBadPreamble;
    Update([&](SimRecord& record) {
      record.connections[index].firstBytes = stream.FirstBytes();
      record.connections[index].preambleReceived = stream.PreambleReceived();
    });
    if (badPreamble) return false;
    std::vector<uint8_t> bytes;
    RequestStream::Result next;
    while ((next = stream.Next(&bytes)) == RequestStream::Result::kMessage) {
      if (!Handle(index, socket, bytes, session)) return false;
    }
    if (next == RequestStream::Result::kOversize) return false;
  }
  return false;
}

// Records, answers and sends one request; false when the connection is to close.
bool SimulatedSystem::Handle(size_t index, SocketHandle socket, const std::vector<uint8_t>& bytes,
                             SimSession& session) {
  std::unique_ptr<CZkMSG> request = CZkMSG::Wrap(bytes.data());
  if (!request) return false;
  RecordRequest(index, *request);
  std::unique_ptr<CZkMSG> answer = session.Answer(*request);
  Update([&](SimRecord& record) {
    ConnectionRecord& connection = record.connections[index];
    connection.loggedIn = session.LoggedIn();
    connection.loginRequestReceived = session.HasLoginRequest();
    connection.lastLogin = session.LastLoginRequest();
  });
  const Transmission plan = PlanTransmission(config_.faults, *request, answer.get());
  return Transmit(socket, plan) && !plan.closeAfter;
}

void SimulatedSystem::RecordRequest(size_t index, const CZkMSG& request) {
  ReceivedRequest received;
  received.connection = index;
  received.queryId = request.GetQueryId();
  received.code = request.GetCode();
  const uint8_t* payload = request.GetPayload();
  if (payload != nullptr) received.payload.assign(payload, payload + request.GetLength());
  {
    std::lock_guard<std::mutex> lock(observerMutex_);
    if (observer_) observer_(received);
  }
  Update([&](SimRecord& record) { record.requests.push_back(std::move(received)); });
}

void SimulatedSystem::Finish(size_t index, SocketHandle socket, bool byClient) {
  std::lock_guard<std::mutex> lock(mutex_);
  liveSockets_.erase(socket);
  platform::CloseSocket(socket);
  record_.connections[index].closed = true;
  record_.connections[index].closedByClient = byClient;
  changed_.notify_all();
}

// Sends in non-blocking mode so a client that stops reading cannot hold Stop up.
bool SimulatedSystem::Transmit(SocketHandle socket, const Transmission& plan) const {
  if (plan.pieces.empty()) return true;
  platform::SetNonBlocking(socket, true);
  bool sent = true;
  for (const std::vector<uint8_t>& piece : plan.pieces) {
    if (!plan.byteAtATime) {
      sent = SendAll(socket, piece.data(), piece.size());
    } else {
      for (size_t i = 0; sent && i < piece.size(); ++i) {
        if (i > 0) std::this_thread::sleep_for(kByteSpacing);
        sent = SendAll(socket, &piece[i], 1);
      }
    }
    if (!sent) break;
  }
  platform::SetNonBlocking(socket, false);
  return sent;
}

bool SimulatedSystem::SendAll(SocketHandle socket, const uint8_t* bytes, size_t n) const {
  size_t done = 0;
  while (done < n && !stopping_) {
    const long sent = platform::SendSome(socket, bytes + done, n - done);
    if (sent > 0) {
      done += static_cast<size_t>(sent);
    } else if (sent < 0 && platform::LastSocketErrorCode() == platform::kWsaWouldBlock) {
      std::this_thread::sleep_for(kRetryPause);
    } else {
      return false;
    }
  }
  return done == n;
}

template <typename Change>
void SimulatedSystem::Update(Change change) {
  std::lock_guard<std::mutex> lock(mutex_);
  change(record_);
  changed_.notify_all();
}

SimRecord SimulatedSystem::Record() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return record_;
}

std::vector<ReceivedRequest> SimulatedSystem::Requests() const { return Record().requests; }

std::vector<ReceivedRequest> SimulatedSystem::RequestsWithCode(uint16_t code) const {
  std::vector<ReceivedRequest> matching;
  for (ReceivedRequest& request : Requests()) {
    if (request.code == code) matching.push_back(std::move(request));
  }
  return matching;
}

std::vector<ConnectionRecord> SimulatedSystem::Connections() const { return Record().connections; }

std::vector<ReceivedDatagram> SimulatedSystem::Datagrams() const { return Record().datagrams; }

size_t SimulatedSystem::ConnectionCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return record_.connections.size();
}

bool SimulatedSystem::WaitUntil(const std::function<bool(const SimRecord&)>& condition, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return condition(record_); });
}

bool SimulatedSystem::WaitForRequests(size_t count, int timeoutMs) const {
  return WaitUntil([count](const SimRecord& record) { return record.requests.size() >= count; }, timeoutMs);
}

bool SimulatedSystem::WaitForDatagramsSent(size_t count, int timeoutMs) const {
  return WaitUntil([count](const SimRecord& record) { return record.datagramsSent >= count; }, timeoutMs);
}
