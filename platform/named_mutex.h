// Named mutexes shared between programs of one user: "ClearslateMutex" held by a
// running viewer, "GatewayMutex" held by a gateway program on this computer. Each
// is an exclusive flock on a lock file: $XDG_RUNTIME_DIR/<name>.lock when that
// variable names a directory of ours, else /tmp/<name>-<uid>.lock. The file is
// opened without following links and used only when it is a regular file of ours,
// so nobody else can plant or swap it. Locks belong to the open file, so the lock
// goes when its holder ends, however it ends, and two holders in one process
// conflict like two processes do.
#pragma once

#include <string>

namespace platform {

// Where the lock file of a name lies, as chosen from the environment right now.
std::string NamedMutexPath(const std::string& name);

enum class MutexProbe {
  kAcquired,       // nobody held it; it has been taken and let go again
  kHeldElsewhere,  // someone held it for the whole wait
  kFailed,         // the lock file could not be opened or locked
};

// Tries to take the mutex for at most waitMs (sleeping on the current clock in
// short steps), then releases and closes whatever it took. Never keeps it.
MutexProbe ProbeNamedMutex(const std::string& name, int waitMs);

// Holds a named mutex until Release or destruction.
class NamedMutexHolder {
 public:
  NamedMutexHolder() = default;
  ~NamedMutexHolder() { Release(); }
  NamedMutexHolder(const NamedMutexHolder&) = delete;
  NamedMutexHolder& operator=(const NamedMutexHolder&) = delete;

  // Takes the mutex, trying for at most waitMs (a probe of another program holds
  // it for an instant); false when someone else holds it or the lock file is
  // unusable. A holder holds one name at a time: a second Acquire first releases
  // the first.
  bool Acquire(const std::string& name, int waitMs = 200);
  void Release();
  bool IsHeld() const { return file_ >= 0; }

 private:
  int file_ = -1;
};

}  // namespace platform
