// Starting and watching client programs. A client is started directly (never
// through a shell) with exactly standard input, output and error, plus, when
// asked, one socket as descriptor 3; every other descriptor of ours is
// close-on-exec from its creation. A still running client reads as the exit code
// 259, as the launcher has always seen it.
#pragma once

#include <string>
#include <vector>

namespace platform {

constexpr int kStillActive = 259;

struct ChildProcess {
  int pid = 0;
  bool IsSet() const { return pid > 0; }
};

// argv[0] is the path. `socketAsDescriptor3`: a socket that becomes the child's
// descriptor 3, or -1 for none. False when the program cannot be started.
bool StartProcess(const std::string& path, const std::vector<std::string>& arguments, int socketAsDescriptor3,
                  ChildProcess* child);
// kStillActive while it runs; its exit code (or 128 + signal) once it has ended,
// after which the process is reaped. False when the query fails (no such child).
bool GetExitCode(const ChildProcess& child, int* code);
// Children are watched by polling: SIGCHLD must not be ignored, or they would
// vanish without an exit code.
void ResetChildSignal();
int CurrentProcessId();
// The descriptors this process has open, ascending, without the one used to list
// them. Empty when the system will not tell.
std::vector<int> OpenDescriptors();

}  // namespace platform
