// Running the headless event loop (posted work and dialog timers) until a
// condition holds or a time passes, on the current clock.
#pragma once

#include <cstdint>
#include <functional>

#include "ui/headless/headless_toolkit.h"

// True when `done` became true; false when `limitMs` passed first (a negative
// limit waits without end).
bool RunEventsUntil(ui::HeadlessToolkit& toolkit, const std::function<bool()>& done, int64_t limitMs);
