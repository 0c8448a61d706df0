#include "platform/signals.h"

#include <pthread.h>
#include <signal.h>

#include <cerrno>

namespace platform {
namespace {

sigset_t TerminationSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

bool BlockTerminationSignals() {
  const sigset_t set = TerminationSignals();
  return pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0;
}

int WaitForTerminationSignal() {
  const sigset_t set = TerminationSignals();
  int received = 0;
  int result;
  do {
    result = sigwait(&set, &received);
  } while (result == EINTR);
  return result == 0 ? received : -1;
}

}  // namespace platform
