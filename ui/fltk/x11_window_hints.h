// What the window manager is told about a dialog's window beyond FLTK's own
// hints: which caption buttons it offers (no close box, a minimise box), whether
// it is a tool window kept out of the task bar, and which window owns it.
#pragma once

#include <cstdint>

class Fl_Window;

namespace ui::fltk {

// `dialogStyle` is a DialogStyle mask. Call after every show and every resize
// of a shown window: FLTK rewrites the Motif hints of a fixed-size window then.
// `owner` may be null.
void ApplyWindowHints(Fl_Window& window, uint32_t dialogStyle, Fl_Window* owner);

}  // namespace ui::fltk
