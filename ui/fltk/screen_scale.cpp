#include "ui/fltk/screen_scale.h"

#include <FL/Fl.H>

#include <cmath>

namespace ui::fltk {
namespace {

constexpr float kLayoutDpi = 96.0f;
// Screens report their size loosely; only a clearly denser one is scaled.
constexpr float kFirstScaledDpi = 144.0f;

}  // namespace

double ScreenScale() {
  float horizontal = 0, vertical = 0;
  Fl::screen_dpi(horizontal, vertical);
  if (horizontal < kFirstScaledDpi) return 1.0;
  return std::round(horizontal / kLayoutDpi * 4.0f) / 4.0;
}

int ScalePixels(int pixels, double scale) { return static_cast<int>(std::lround(pixels * scale)); }

}  // namespace ui::fltk
