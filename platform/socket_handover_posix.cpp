#include "platform/socket_handover.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "platform/handover_record.h"
#include "platform/socket.h"

namespace platform {
namespace {

constexpr int kAcceptSliceMs = 20;

socklen_t AbstractAddress(const std::string& name, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  // An abstract name starts with a NUL and is exactly `name` after it.
  const size_t length = name.size() < sizeof address->sun_path - 1 ? name.size() : sizeof address->sun_path - 1;
  std::memcpy(address->sun_path + 1, name.data(), length);
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

// Ended, without reaping it: the launcher's watch still wants its exit code.
bool HasEnded(const ChildProcess& client) {
  siginfo_t info{};
  if (waitid(P_PID, static_cast<id_t>(client.pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return true;
  return info.si_pid == client.pid;
}

bool IsTheClient(int connection, const ChildProcess& client) {
  ucred peer{};
  socklen_t length = sizeof peer;
  if (getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0) return false;
  return peer.pid == client.pid && peer.uid == getuid();
}

bool SendRecord(int connection, const ChildProcess& client, int socket) {
  const HandoverRecord record =
      MakeHandoverRecord(static_cast<uint32_t>(client.pid), static_cast<uint32_t>(getpid()));
  return SendWithDescriptor(connection, record.data(), record.size(), socket) == static_cast<long>(record.size());
}

}  // namespace

std::string HandoverEndpointName(uint32_t value) {
  char name[32];
  std::snprintf(name, sizeof name, "\\\\.\\pipe\\%08X", value);
  return name;
}

bool SocketHandoverEndpoint::Listen(uint32_t value) {
  Close();
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string name = HandoverEndpointName(value + static_cast<uint32_t>(attempt));
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0) return false;
    sockaddr_un address;
    const socklen_t length = AbstractAddress(name, &address);
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(listener, 4) == 0) {
      listener_ = listener;
      name_ = name;
      return true;
    }
    ::close(listener);
  }
  return false;
}

bool SocketHandoverEndpoint::Deliver(const ChildProcess& client, int socket, int timeoutMs) {
  if (listener_ < 0) return false;
  const uint32_t start = CurrentClock().TickMs();
  bool delivered = false;
  while (!delivered && ElapsedMs(start) < static_cast<uint32_t>(timeoutMs) && !HasEnded(client)) {
    pollfd entry{listener_, POLLIN, 0};
    if (::poll(&entry, 1, CurrentClock().RealWaitMs(kAcceptSliceMs)) <= 0) {
      CurrentClock().WaitTimedOut(kAcceptSliceMs);
      continue;
    }
    const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) {
      // Out of descriptors, say: pause instead of spinning until the bound.
      CurrentClock().Sleep(kAcceptSliceMs);
      continue;
    }
    if (IsTheClient(connection, client)) delivered = SendRecord(connection, client, socket);
    ::close(connection);
  }
  Close();
  return delivered;
}

void SocketHandoverEndpoint::Close() {
  if (listener_ >= 0) ::close(listener_);
  listener_ = -1;
}

bool ConnectToHandoverEndpoint(const std::string& name, int* socket) {
  const int connection = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (connection < 0) return false;
  sockaddr_un address;
  const socklen_t length = AbstractAddress(name, &address);
  if (connect(connection, reinterpret_cast<sockaddr*>(&address), length) != 0) {
    ::close(connection);
    return false;
  }
  *socket = connection;
  return true;
}

bool ReceiveHandedOverSocket(const std::string& name, int* socket, std::string* error) {
  int connection = -1;
  if (!ConnectToHandoverEndpoint(name, &connection)) {
    *error = "cannot reach the launcher's endpoint " + name;
    return false;
  }
  HandoverRecord record{};
  size_t received = 0;
  int handed = -1;
  while (received < record.size()) {
    iovec part{record.data() + received, record.size() - received};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t got = recvmsg(connection, &message, MSG_CMSG_CLOEXEC);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || (message.msg_flags & MSG_CTRUNC) != 0) break;
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
      if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_RIGHTS && handed < 0) {
        std::memcpy(&handed, CMSG_DATA(header), sizeof handed);
      }
    }
    received += static_cast<size_t>(got);
  }
  ::close(connection);
  if (received < record.size() || handed < 0 || !IsHandoverRecordFor(record, static_cast<uint32_t>(getpid()))) {
    if (handed >= 0) ::close(handed);
    *error = "the launcher's endpoint did not hand over a socket for this process";
    return false;
  }
  *socket = handed;
  return true;
}

}  // namespace platform
