// Time for the whole program: a 32-bit millisecond tick counter that wraps, the
// local calendar time and sleeping. Everything asks CurrentClock(), so a test can
// put a MovableClock in its place and cover the 5 s, 10 s, 30 s and 60 s waits in a
// few milliseconds of real time.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform {

// The calendar record of the local time, field for field as the program keeps it.
struct LocalTime {
  uint16_t year = 0;
  uint16_t month = 0;      // 1-12
  uint16_t dayOfWeek = 0;  // 0 = Sunday
  uint16_t day = 0;        // 1-31
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t milliseconds = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds from a monotonic source, cut to 32 bits: wraps after 49.7 days.
  virtual uint32_t TickMs() = 0;
  virtual LocalTime Now() = 0;
  virtual void Sleep(uint32_t ms) = 0;
  // How long a bounded wait of `ms` (poll and friends) may really block. The
  // movable clock keeps real waits short so a test never sits out a time-out.
  virtual int RealWaitMs(int ms) { return ms; }
  // A bounded wait of `ms` ended without anything happening. The system clock has
  // spent that time already; the movable clock moves forward by it.
  virtual void WaitTimedOut(int ms) { (void)ms; }
};

// The clock in use: the innermost ScopedClockOverride's, else the system clock.
Clock& CurrentClock();

class ScopedClockOverride {
 public:
  explicit ScopedClockOverride(Clock* clock);
  ~ScopedClockOverride();
  ScopedClockOverride(const ScopedClockOverride&) = delete;
  ScopedClockOverride& operator=(const ScopedClockOverride&) = delete;

 private:
  Clock* previous_;
};

// A clock that only moves when told to, or when something sleeps or times out.
class MovableClock : public Clock {
 public:
  explicit MovableClock(uint32_t startTick = 1000) : tick_(startTick) {}
  uint32_t TickMs() override { return tick_.load(); }
  LocalTime Now() override { return localTime_; }
  void Sleep(uint32_t ms) override { Advance(ms); }
  int RealWaitMs(int ms) override { return ms < kRealWaitMs ? ms : kRealWaitMs; }
  void WaitTimedOut(int ms) override { Advance(ms > 0 ? static_cast<uint32_t>(ms) : 0); }

  void Advance(uint32_t ms) { tick_ += ms; }
  void SetTick(uint32_t tick) { tick_ = tick; }
  void SetNow(const LocalTime& now) { localTime_ = now; }

 private:
  // Long enough for a peer on another thread to answer, short enough to stay fast.
  static constexpr int kRealWaitMs = 20;
  std::atomic<uint32_t> tick_;
  LocalTime localTime_;
};

}  // namespace platform

// Milliseconds from `start` to `now` on the 32-bit tick counter. When the counter has
// wrapped (now below start) the result is now - start - 1, as every wait of the
// program has always counted it.
uint32_t ElapsedBetween(uint32_t start, uint32_t now);

// Milliseconds from `start` to the current tick of CurrentClock().
uint32_t ElapsedMs(uint32_t start);
