#include "ui/fltk/virtual_display.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

extern char** environ;

namespace ui::testing {
namespace {

constexpr int kStartTimeoutMs = 15000;
// Xvfb writes the display number it chose to this descriptor once it is ready.
constexpr int kDisplayFd = 3;

// Reads the number line from the pipe; empty on time-out or end of file.
std::string ReadDisplayNumber(int fd) {
  std::string number;
  pollfd waiting{fd, POLLIN, 0};
  while (poll(&waiting, 1, kStartTimeoutMs) > 0) {
    char c;
    if (read(fd, &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  return number;
}

}  // namespace

void VirtualDisplay::SetUp() {
  // A death test's child checks life without a display; it would also leave its
  // server running, as it never returns to tear it down.
  if (!GTEST_FLAG_GET(internal_run_death_test).empty()) return;
  int pipeFds[2];
  ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], kDisplayFd);
  posix_spawn_file_actions_addclosefrom_np(&actions, kDisplayFd + 1);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const std::string fd = std::to_string(kDisplayFd);
  // -terminate: the server ends when its last client goes, so a test program
  // that crashes does not leave it behind.
  const char* argv[] = {"Xvfb",   "-displayfd", fd.c_str(),    "-nolisten", "tcp",
                        "-screen", "0",         "1024x768x24", "-terminate", nullptr};
  const int spawned = posix_spawnp(&server_, "Xvfb", &actions, nullptr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawned != 0) server_ = -1;
  const std::string number = spawned == 0 ? ReadDisplayNumber(pipeFds[0]) : std::string();
  close(pipeFds[0]);
  ASSERT_EQ(spawned, 0) << "cannot start Xvfb (package xvfb; scripts/setup installs it)";
  ASSERT_FALSE(number.empty()) << "Xvfb did not report a display";
  setenv("DISPLAY", (":" + number).c_str(), 1);
}

void VirtualDisplay::TearDown() {
  if (server_ <= 0) return;
  kill(server_, SIGTERM);
  int status = 0;
  waitpid(server_, &status, 0);
  server_ = -1;
}

}  // namespace ui::testing
