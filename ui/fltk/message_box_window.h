// The toolkit's message box on FLTK: the text beside an icon, the buttons below,
// modal over every other window. Dialog timers keep firing while it is up, as
// window timers do under a system message box.
#pragma once

#include <string>

#include "ui/toolkit.h"

namespace ui::fltk {

// Texts in UTF-8. Returns kIdOk, kIdCancel, kIdYes or kIdNo. Escape and the close
// box answer Cancel, or OK for a box with OK alone; a Yes/No box has neither.
int RunMessageBox(const std::string& text, const std::string& caption, MessageBoxButtons buttons,
                  MessageBoxIcon icon, double scale);

}  // namespace ui::fltk
