// Named mutexes as flock()ed lock files.
#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/clock.h"

namespace platform {
namespace {

// How long a probe sleeps between two attempts.
constexpr int kProbeStepMs = 10;

bool IsOwnDirectory(const char* path) {
  struct stat info {};
  return path != nullptr && path[0] == '/' && stat(path, &info) == 0 && S_ISDIR(info.st_mode) &&
         info.st_uid == geteuid();
}

// The lock file, opened; -1 when it cannot be opened or is not a regular file of ours.
int OpenLockFile(const std::string& name) {
  const int fd = ::open(NamedMutexPath(name).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
    ::close(fd);
    return -1;
  }
  return fd;
}

enum class LockAttempt { kTaken, kBusy, kFailed };

LockAttempt TryLock(int fd) {
  int result;
  do {
    result = flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) return LockAttempt::kTaken;
  return errno == EWOULDBLOCK ? LockAttempt::kBusy : LockAttempt::kFailed;
}

// Tries to lock the open lock file for at most waitMs. The descriptor stays open.
LockAttempt LockWithin(int fd, int waitMs) {
  Clock& clock = CurrentClock();
  const uint32_t start = clock.TickMs();
  while (true) {
    const LockAttempt attempt = TryLock(fd);
    if (attempt != LockAttempt::kBusy) return attempt;
    const uint32_t waited = ElapsedBetween(start, clock.TickMs());
    if (waitMs <= 0 || waited >= static_cast<uint32_t>(waitMs)) return LockAttempt::kBusy;
    clock.Sleep(std::min<uint32_t>(kProbeStepMs, static_cast<uint32_t>(waitMs) - waited));
  }
}

}  // namespace

std::string NamedMutexPath(const std::string& name) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (IsOwnDirectory(runtime)) return std::string(runtime) + "/" + name + ".lock";
  return "/tmp/" + name + "-" + std::to_string(geteuid()) + ".lock";
}

MutexProbe ProbeNamedMutex(const std::string& name, int waitMs) {
  const int fd = OpenLockFile(name);
  if (fd < 0) return MutexProbe::kFailed;
  const LockAttempt attempt = LockWithin(fd, waitMs);
  // Closing the descriptor releases a lock it took.
  ::close(fd);
  switch (attempt) {
    case LockAttempt::kTaken:
      return MutexProbe::kAcquired;
    case LockAttempt::kBusy:
      return MutexProbe::kHeldElsewhere;
    case LockAttempt::kFailed:
      break;
  }
  return MutexProbe::kFailed;
}

bool NamedMutexHolder::Acquire(const std::string& name, int waitMs) {
  Release();
  const int fd = OpenLockFile(name);
  if (fd < 0) return false;
  if (LockWithin(fd, waitMs) != LockAttempt::kTaken) {
    ::close(fd);
    return false;
  }
  file_ = fd;
  return true;
}

void NamedMutexHolder::Release() {
  if (file_ < 0) return;
  ::close(file_);
  file_ = -1;
}

}  // namespace platform
