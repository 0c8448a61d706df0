#include "platform/process.h"

#include <dirent.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace platform {

bool StartProcess(const std::string& path, const std::vector<std::string>& arguments, int socketAsDescriptor3,
                  ChildProcess* child) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  bool ok = true;
  if (socketAsDescriptor3 >= 0) {
    // dup2 onto 3 clears close-on-exec on the copy; a socket that already is 3
    // needs its flag cleared another way, so move it aside first.
    if (socketAsDescriptor3 == 3) {
      ok = posix_spawn_file_actions_adddup2(&actions, 3, 4) == 0 && posix_spawn_file_actions_adddup2(&actions, 4, 3) == 0;
    } else {
      ok = posix_spawn_file_actions_adddup2(&actions, socketAsDescriptor3, 3) == 0;
    }
    ok = ok && posix_spawn_file_actions_addclosefrom_np(&actions, 4) == 0;
  } else {
    ok = posix_spawn_file_actions_addclosefrom_np(&actions, 3) == 0;
  }
  pid_t pid = 0;
  ok = ok && posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (!ok) return false;
  child->pid = pid;
  return true;
}

bool GetExitCode(const ChildProcess& child, int* code) {
  if (!child.IsSet()) return false;
  int status = 0;
  pid_t result;
  do {
    result = waitpid(child.pid, &status, WNOHANG);
  } while (result < 0 && errno == EINTR);
  if (result < 0) return false;
  if (result == 0) {
    *code = kStillActive;
    return true;
  }
  *code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return true;
}

void ResetChildSignal() { signal(SIGCHLD, SIG_DFL); }

int CurrentProcessId() { return static_cast<int>(getpid()); }

std::vector<int> OpenDescriptors() {
  std::vector<int> descriptors;
  DIR* folder = opendir("/proc/self/fd");
  if (folder == nullptr) return descriptors;
  const int own = dirfd(folder);
  while (const dirent* entry = readdir(folder)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    const int descriptor = std::atoi(entry->d_name);
    if (descriptor != own) descriptors.push_back(descriptor);
  }
  closedir(folder);
  std::sort(descriptors.begin(), descriptors.end());
  return descriptors;
}

}  // namespace platform
