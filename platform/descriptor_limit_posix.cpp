// Descriptor limits through getrlimit/setrlimit.
#include "platform/descriptor_limit.h"

#include <sys/resource.h>

#include <climits>

namespace platform {
namespace {

// What the kernel accepts as a soft limit when the hard one reads unlimited: the
// default ceiling of fs.nr_open.
constexpr rlim_t kCeilingWhenUnlimited = 1048576;

}  // namespace

bool RaiseDescriptorLimit() {
  rlimit limits{};
  if (getrlimit(RLIMIT_NOFILE, &limits) != 0) return false;
  if (limits.rlim_cur == limits.rlim_max) return true;
  const rlim_t old = limits.rlim_cur;
  limits.rlim_cur = limits.rlim_max;
  if (setrlimit(RLIMIT_NOFILE, &limits) == 0) return true;
  if (limits.rlim_max != RLIM_INFINITY || old >= kCeilingWhenUnlimited) return false;
  limits.rlim_cur = kCeilingWhenUnlimited;
  return setrlimit(RLIMIT_NOFILE, &limits) == 0;
}

long DescriptorSoftLimit() {
  rlimit limits{};
  if (getrlimit(RLIMIT_NOFILE, &limits) != 0) return -1;
  if (limits.rlim_cur == RLIM_INFINITY || limits.rlim_cur > static_cast<rlim_t>(LONG_MAX)) return LONG_MAX;
  return static_cast<long>(limits.rlim_cur);
}

bool SetDescriptorSoftLimit(long limit) {
  rlimit limits{};
  if (limit < 0 || getrlimit(RLIMIT_NOFILE, &limits) != 0) return false;
  limits.rlim_cur = static_cast<rlim_t>(limit);
  return setrlimit(RLIMIT_NOFILE, &limits) == 0;
}

}  // namespace platform
