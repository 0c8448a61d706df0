// How many device pixels one pixel of the dialog layouts takes on this screen.
// Layouts are made for 96 dpi; FLTK 1.3 does not scale for denser screens, so the
// window back-end multiplies every position, size and font by this factor itself.
#pragma once

namespace ui::fltk {

// 1.0 below 144 dpi (ordinary screens and Xvfb); above, the dpi over 96 in steps
// of a quarter. Needs the display open.
double ScreenScale();
// Pixels of the layout in device pixels, rounded to the nearest.
int ScalePixels(int pixels, double scale);

}  // namespace ui::fltk
