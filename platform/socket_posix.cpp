#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/clock.h"
#include "platform/socket_errors.h"

namespace platform {
namespace {

thread_local int t_lastError = 0;

bool Fail() {
  t_lastError = WsaErrorFromErrno(errno);
  return false;
}

sockaddr_in ToSockaddr(const SocketAddress& address) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_port = address.port;
  result.sin_addr.s_addr = address.address;
  return result;
}

SocketAddress FromSockaddr(const sockaddr_in& address) {
  SocketAddress result;
  result.address = address.sin_addr.s_addr;
  result.port = address.sin_port;
  return result;
}

SocketHandle CreateSocket(int type) {
  const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
  if (fd < 0) Fail();
  return fd < 0 ? kInvalidSocket : fd;
}

bool SetIntOption(SocketHandle socket, int level, int name, int value) {
  if (setsockopt(socket, level, name, &value, sizeof value) == 0) return true;
  return Fail();
}

// One bounded poll. The clock decides how long it really blocks; when nothing
// happened the clock learns that the whole wait has passed.
WaitResult WaitFor(SocketHandle socket, short events, int timeoutMs) {
  if (socket < 0) {
    t_lastError = WsaErrorFromErrno(EBADF);
    return WaitResult::kFailed;
  }
  Clock& clock = CurrentClock();
  pollfd entry{socket, events, 0};
  int result;
  do {
    result = ::poll(&entry, 1, clock.RealWaitMs(timeoutMs));
  } while (result < 0 && errno == EINTR);
  if (result < 0) {
    Fail();
    return WaitResult::kFailed;
  }
  if (result == 0) {
    clock.WaitTimedOut(timeoutMs);
    return WaitResult::kTimedOut;
  }
  if ((entry.revents & POLLNVAL) != 0) {
    t_lastError = WsaErrorFromErrno(EBADF);
    return WaitResult::kFailed;
  }
  return WaitResult::kReady;
}

}  // namespace

SocketAddress MakeSocketAddress(uint32_t networkOrderAddress, uint16_t hostOrderPort) {
  SocketAddress result;
  result.address = networkOrderAddress;
  result.port = htons(hostOrderPort);
  return result;
}

uint16_t HostPort(const SocketAddress& address) { return ntohs(address.port); }

bool ParseDottedQuad(const std::string& text, uint32_t* networkOrderAddress) {
  in_addr parsed{};
  if (inet_pton(AF_INET, text.c_str(), &parsed) != 1) return false;
  *networkOrderAddress = parsed.s_addr;
  return true;
}

int LastSocketErrorCode() { return t_lastError; }
void SetLastSocketErrorCode(int code) { t_lastError = code; }

SocketHandle CreateTcpSocket() { return CreateSocket(SOCK_STREAM); }
SocketHandle CreateUdpSocket() { return CreateSocket(SOCK_DGRAM); }

void CloseSocket(SocketHandle socket) {
  if (socket >= 0) ::close(socket);
}

bool ShutdownReceive(SocketHandle socket) { return ::shutdown(socket, SHUT_RD) == 0 || Fail(); }

bool SetNonBlocking(SocketHandle socket, bool nonBlocking) {
  const int flags = fcntl(socket, F_GETFL);
  if (flags < 0) return Fail();
  const int wanted = nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  return fcntl(socket, F_SETFL, wanted) == 0 || Fail();
}

bool SetNoDelay(SocketHandle socket, bool on) { return SetIntOption(socket, IPPROTO_TCP, TCP_NODELAY, on ? 1 : 0); }
bool SetBroadcast(SocketHandle socket, bool on) { return SetIntOption(socket, SOL_SOCKET, SO_BROADCAST, on ? 1 : 0); }
bool SetReuseAddress(SocketHandle socket, bool on) { return SetIntOption(socket, SOL_SOCKET, SO_REUSEADDR, on ? 1 : 0); }

bool Connect(SocketHandle socket, const SocketAddress& address) {
  const sockaddr_in target = ToSockaddr(address);
  const int result = ::connect(socket, reinterpret_cast<const sockaddr*>(&target), sizeof target);
  // An interrupted connect goes on in the background, as one in progress does; a
  // second connect would only report that it is already under way.
  if (result == 0 || errno == EINPROGRESS || errno == EINTR) return true;
  return Fail();
}

bool ConnectWithin(SocketHandle socket, const SocketAddress& address, int boundMs) {
  const int flags = fcntl(socket, F_GETFL);
  if (flags < 0) return Fail();
  if ((flags & O_NONBLOCK) == 0 && !SetNonBlocking(socket, true)) return false;
  bool connected = Connect(socket, address);
  const uint32_t start = CurrentClock().TickMs();
  while (connected) {
    const uint32_t elapsed = ElapsedMs(start);
    if (elapsed >= static_cast<uint32_t>(boundMs)) {
      t_lastError = kWsaTimedOut;
      connected = false;
      break;
    }
    const WaitResult waited = WaitWritable(socket, boundMs - static_cast<int>(elapsed));
    if (waited == WaitResult::kFailed) {
      connected = false;
    } else if (waited == WaitResult::kReady) {
      const int error = PendingConnectError(socket);
      if (error != 0) t_lastError = error;
      connected = error == 0;
      break;
    }
  }
  // The mode is restored whatever happened; the connect's error stays the last one.
  const int lastError = t_lastError;
  if ((flags & O_NONBLOCK) == 0) SetNonBlocking(socket, false);
  t_lastError = lastError;
  return connected;
}

int PendingConnectError(SocketHandle socket) {
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
    Fail();
    return t_lastError;
  }
  return error == 0 ? 0 : WsaErrorFromErrno(error);
}

WaitResult WaitReadable(SocketHandle socket, int timeoutMs) { return WaitFor(socket, POLLIN, timeoutMs); }
WaitResult WaitWritable(SocketHandle socket, int timeoutMs) { return WaitFor(socket, POLLOUT, timeoutMs); }

long SendSome(SocketHandle socket, const void* bytes, size_t n) {
  ssize_t result;
  do {
    result = ::send(socket, bytes, n, MSG_NOSIGNAL);
  } while (result < 0 && errno == EINTR);
  if (result < 0) Fail();
  return static_cast<long>(result);
}

long ReceiveSome(SocketHandle socket, void* buffer, size_t n) {
  ssize_t result;
  do {
    result = ::recv(socket, buffer, n, 0);
  } while (result < 0 && errno == EINTR);
  if (result < 0) Fail();
  return static_cast<long>(result);
}

long BytesWaiting(SocketHandle socket) {
  int count = 0;
  if (ioctl(socket, FIONREAD, &count) != 0) {
    Fail();
    return -1;
  }
  return count;
}

SocketHandle ListenTcp(const SocketAddress& address, int backlog, SocketAddress* bound) {
  const SocketHandle socket = CreateTcpSocket();
  if (socket == kInvalidSocket) return kInvalidSocket;
  const sockaddr_in local = ToSockaddr(address);
  if (!SetReuseAddress(socket, true) || ::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      ::listen(socket, backlog) != 0) {
    Fail();
    ::close(socket);
    return kInvalidSocket;
  }
  if (bound != nullptr) LocalAddress(socket, bound);
  return socket;
}

SocketHandle Accept(SocketHandle listener, SocketAddress* peer) {
  sockaddr_in from{};
  socklen_t length = sizeof from;
  int fd;
  do {
    fd = ::accept4(listener, reinterpret_cast<sockaddr*>(&from), &length, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    Fail();
    return kInvalidSocket;
  }
  if (peer != nullptr) *peer = FromSockaddr(from);
  return fd;
}

bool BindUdp(SocketHandle socket, const SocketAddress& address) {
  const sockaddr_in local = ToSockaddr(address);
  return ::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 || Fail();
}

bool LocalAddress(SocketHandle socket, SocketAddress* address) {
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length) != 0) return Fail();
  *address = FromSockaddr(local);
  return true;
}

bool IsConnectedStream(SocketHandle socket) {
  int type = 0;
  socklen_t length = sizeof type;
  if (getsockopt(socket, SOL_SOCKET, SO_TYPE, &type, &length) != 0) return Fail();
  sockaddr_storage peer{};
  socklen_t peerLength = sizeof peer;
  if (getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) return Fail();
  return type == SOCK_STREAM;
}

long SendDatagram(SocketHandle socket, const void* bytes, size_t n, const SocketAddress& to) {
  const sockaddr_in target = ToSockaddr(to);
  ssize_t result;
  do {
    result = ::sendto(socket, bytes, n, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&target), sizeof target);
  } while (result < 0 && errno == EINTR);
  if (result < 0) Fail();
  return static_cast<long>(result);
}

long ReceiveDatagram(SocketHandle socket, void* buffer, size_t n, SocketAddress* from) {
  sockaddr_in sender{};
  socklen_t length = sizeof sender;
  ssize_t result;
  do {
    result = ::recvfrom(socket, buffer, n, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&sender), &length);
  } while (result < 0 && errno == EINTR);
  if (result < 0) {
    Fail();
    return -1;
  }
  if (from != nullptr) *from = FromSockaddr(sender);
  return static_cast<long>(result);
}

void DatagramsWaiting(const std::vector<SocketHandle>& sockets, std::vector<bool>* waiting) {
  std::vector<pollfd> entries;
  entries.reserve(sockets.size());
  // poll() skips negative descriptors, so invalid handles simply never wait.
  for (SocketHandle socket : sockets) entries.push_back(pollfd{socket, POLLIN, 0});
  waiting->assign(sockets.size(), false);
  if (entries.empty() || ::poll(entries.data(), entries.size(), 0) <= 0) return;
  for (size_t i = 0; i < entries.size(); ++i) (*waiting)[i] = (entries[i].revents & POLLIN) != 0;
}

bool DatagramWaiting(SocketHandle socket) {
  pollfd entry{socket, POLLIN, 0};
  return ::poll(&entry, 1, 0) > 0 && (entry.revents & POLLIN) != 0;
}

bool CreateStreamPair(SocketHandle* first, SocketHandle* second) {
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return Fail();
  *first = pair[0];
  *second = pair[1];
  return true;
}

long SendWithDescriptor(SocketHandle socket, const void* bytes, size_t n, int descriptor) {
  iovec part{const_cast<void*>(bytes), n};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  cmsghdr* header = CMSG_FIRSTHDR(&message);
  header->cmsg_level = SOL_SOCKET;
  header->cmsg_type = SCM_RIGHTS;
  header->cmsg_len = CMSG_LEN(sizeof(int));
  std::memcpy(CMSG_DATA(header), &descriptor, sizeof descriptor);
  ssize_t sent;
  do {
    sent = ::sendmsg(socket, &message, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  if (sent < 0) Fail();
  return static_cast<long>(sent);
}

bool ResolveHost(const std::string& name, uint32_t* networkOrderAddress) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int result = getaddrinfo(name.c_str(), nullptr, &hints, &found);
  if (result != 0) {
    t_lastError = WsaErrorFromResolver(result, errno);
    return false;
  }
  *networkOrderAddress = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(found);
  return true;
}

}  // namespace platform
