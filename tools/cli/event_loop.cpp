#include "tools/cli/event_loop.h"

#include "platform/clock.h"
#include "ui/toolkit.h"

namespace {

constexpr int kSliceMs = 100;

}  // namespace

bool RunEventsUntil(ui::HeadlessToolkit& toolkit, const std::function<bool()>& done, int64_t limitMs) {
  const uint32_t start = platform::CurrentClock().TickMs();
  while (!done()) {
    if (limitMs >= 0 && ElapsedMs(start) >= static_cast<uint64_t>(limitMs)) return false;
    int wait = ui::MsUntilNextTimer(kSliceMs);
    if (limitMs >= 0) {
      const int64_t left = limitMs - static_cast<int64_t>(ElapsedMs(start));
      if (left < wait) wait = static_cast<int>(left);
    }
    toolkit.WaitForEvents(wait);
    ui::RunDueTimers();
  }
  return true;
}
