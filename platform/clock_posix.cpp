// The system clock: CLOCK_MONOTONIC for ticks, localtime_r for the calendar.
#include "platform/clock.h"

#include <time.h>

#include <atomic>
#include <cerrno>

namespace platform {
namespace {

class SystemClock : public Clock {
 public:
  uint32_t TickMs() override {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
  }

  LocalTime Now() override {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm parts{};
    localtime_r(&now.tv_sec, &parts);
    LocalTime result;
    result.year = static_cast<uint16_t>(parts.tm_year + 1900);
    result.month = static_cast<uint16_t>(parts.tm_mon + 1);
    result.dayOfWeek = static_cast<uint16_t>(parts.tm_wday);
    result.day = static_cast<uint16_t>(parts.tm_mday);
    result.hour = static_cast<uint16_t>(parts.tm_hour);
    result.minute = static_cast<uint16_t>(parts.tm_min);
    result.second = static_cast<uint16_t>(parts.tm_sec);
    result.milliseconds = static_cast<uint16_t>(now.tv_nsec / 1000000);
    return result;
  }

  void Sleep(uint32_t ms) override {
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
  }
};

// Read by every thread that waits; set by tests.
std::atomic<Clock*> g_override{nullptr};

}  // namespace

Clock& CurrentClock() {
  static SystemClock systemClock;
  Clock* chosen = g_override.load();
  return chosen != nullptr ? *chosen : systemClock;
}

ScopedClockOverride::ScopedClockOverride(Clock* clock) : previous_(g_override.exchange(clock)) {}
ScopedClockOverride::~ScopedClockOverride() { g_override = previous_; }

}  // namespace platform

uint32_t ElapsedBetween(uint32_t start, uint32_t now) {
  if (now < start) return now - start - 1u;
  return now - start;
}

uint32_t ElapsedMs(uint32_t start) { return ElapsedBetween(start, platform::CurrentClock().TickMs()); }
