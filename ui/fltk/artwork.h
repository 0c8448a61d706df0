// Our own artwork, drawn in code so that it is kept as source: the dialog's
// picture (a sky above pool water with ripples and light caustics), the help
// button's icon, the message box icons and the window icon (a water drop).
#pragma once

#include "ui/toolkit.h"

class Fl_RGB_Image;

namespace ui::fltk {

// The picture fills the rectangle; `scale` sizes the product name on it.
void DrawWaterPicture(int x, int y, int width, int height, double scale);
// A round blue "?" badge of `size` pixels; grey when inactive.
void DrawHelpIcon(int x, int y, int size, bool active);
void DrawMessageIcon(MessageBoxIcon icon, int x, int y, int size);
// The window icon at `size` x `size` pixels; owned by this module, kept for the
// life of the program.
const Fl_RGB_Image* AppIcon(int size);

}  // namespace ui::fltk
