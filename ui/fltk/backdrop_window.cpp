#include "ui/fltk/backdrop_window.h"

#include <FL/fl_draw.H>

#include <algorithm>

namespace ui::fltk {

void GradientColour(int row, int rows, unsigned char* red, unsigned char* green, unsigned char* blue) {
  if (rows <= 0) rows = 1;
  *red = static_cast<unsigned char>(255 - 19 * row / rows);
  *green = static_cast<unsigned char>(255 - 22 * row / rows);
  *blue = static_cast<unsigned char>(255 - 39 * row / rows);
}

BackdropWindow::BackdropWindow(int width, int height, const char* title) : Fl_Double_Window(width, height, title) {}

void BackdropWindow::SetGradientTop(int top) {
  gradientTop_ = top;
  redraw();
}

void BackdropWindow::DrawBackdrop(int x, int y, int width, int height) {
  const int faceBottom = gradientTop_ < 0 ? y + height : std::min(y + height, gradientTop_);
  if (faceBottom > y) {
    fl_color(color());
    fl_rectf(x, y, width, faceBottom - y);
  }
  if (gradientTop_ < 0) return;
  const int rows = h() - gradientTop_;
  for (int row = std::max(y, gradientTop_); row < y + height; ++row) {
    unsigned char red, green, blue;
    GradientColour(row - gradientTop_, rows, &red, &green, &blue);
    fl_color(red, green, blue);
    fl_xyline(x, row, x + width - 1);
  }
}

// Fl_Window::draw would paint the face colour over everything; the surface is
// ours, the children draw themselves on top.
void BackdropWindow::draw() {
  if ((damage() & ~FL_DAMAGE_CHILD) != 0) DrawBackdrop(0, 0, w(), h());
  draw_children();
}

void PaintBackdropUnder(Fl_Widget& widget) {
  Fl_Widget* parent = widget.parent();
  if (auto* window = dynamic_cast<BackdropWindow*>(parent)) {
    window->DrawBackdrop(widget.x(), widget.y(), widget.w(), widget.h());
    return;
  }
  fl_color(parent != nullptr ? parent->color() : FL_BACKGROUND_COLOR);
  fl_rectf(widget.x(), widget.y(), widget.w(), widget.h());
}

}  // namespace ui::fltk
