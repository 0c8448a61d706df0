// The timers of every dialog, in one table that every event loop consults.
#include <vector>

#include "platform/clock.h"
#include "ui/dialog.h"
#include "ui/toolkit.h"

namespace ui {
namespace {

struct Timer {
  Dialog* dialog;
  int id;
  int periodMs;
  uint32_t lastFired;
  bool live;
};

std::vector<Timer>& Timers() {
  static std::vector<Timer> timers;
  return timers;
}

int DueIn(const Timer& timer) {
  const uint32_t elapsed = ElapsedMs(timer.lastFired);
  return elapsed >= static_cast<uint32_t>(timer.periodMs) ? 0 : timer.periodMs - static_cast<int>(elapsed);
}

void Compact() {
  std::vector<Timer>& timers = Timers();
  std::vector<Timer> kept;
  for (const Timer& timer : timers) {
    if (timer.live) kept.push_back(timer);
  }
  timers.swap(kept);
}

}  // namespace

void RegisterTimer(Dialog* dialog, int timerId, int periodMs) {
  for (Timer& timer : Timers()) {
    if (timer.live && timer.dialog == dialog && timer.id == timerId) {
      timer.periodMs = periodMs;
      timer.lastFired = platform::CurrentClock().TickMs();
      return;
    }
  }
  Timers().push_back(Timer{dialog, timerId, periodMs < 1 ? 1 : periodMs, platform::CurrentClock().TickMs(), true});
}

// Removal only marks: a timer may be killed from inside another's handler while
// the table is being walked.
void UnregisterTimer(Dialog* dialog, int timerId) {
  for (Timer& timer : Timers()) {
    if (timer.dialog == dialog && timer.id == timerId) timer.live = false;
  }
}

void UnregisterTimers(Dialog* dialog) {
  for (Timer& timer : Timers()) {
    if (timer.dialog == dialog) timer.live = false;
  }
}

int MsUntilNextTimer(int cap) {
  int soonest = cap;
  for (const Timer& timer : Timers()) {
    if (timer.live && DueIn(timer) < soonest) soonest = DueIn(timer);
  }
  return soonest;
}

bool RunOneDueTimer() {
  std::vector<Timer>& timers = Timers();
  int chosen = -1;
  uint32_t mostOverdue = 0;
  for (size_t i = 0; i < timers.size(); ++i) {
    if (!timers[i].live || DueIn(timers[i]) > 0) continue;
    const uint32_t overdue = ElapsedMs(timers[i].lastFired) - static_cast<uint32_t>(timers[i].periodMs);
    if (chosen < 0 || overdue > mostOverdue) {
      chosen = static_cast<int>(i);
      mostOverdue = overdue;
    }
  }
  if (chosen < 0) {
    Compact();
    return false;
  }
  Timer& timer = timers[static_cast<size_t>(chosen)];
  timer.lastFired = platform::CurrentClock().TickMs();
  Dialog* dialog = timer.dialog;
  const int id = timer.id;
  dialog->FireTimer(id);  // may add or kill timers: `timer` is not used after this
  return true;
}

int RunDueTimers() {
  // Each timer fires at most once per call, however late it is: late ticks are
  // merged, as window timers merge them.
  std::vector<std::pair<Dialog*, int>> due;
  for (const Timer& timer : Timers()) {
    if (timer.live && DueIn(timer) == 0) due.emplace_back(timer.dialog, timer.id);
  }
  int fired = 0;
  for (const auto& [dialog, id] : due) {
    for (Timer& timer : Timers()) {
      if (timer.live && timer.dialog == dialog && timer.id == id) {
        timer.lastFired = platform::CurrentClock().TickMs();
        dialog->FireTimer(id);
        ++fired;
        break;
      }
    }
  }
  Compact();
  return fired;
}

}  // namespace ui
