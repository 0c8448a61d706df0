// A dialog's window surface: the face colour, and for the main dialog the
// vertical gradient below a given row. Widgets without a box of their own (labels,
// check boxes, group frames) paint the surface under themselves before drawing,
// so they sit on the gradient without leaving stale pixels behind.
#pragma once

#include <FL/Fl_Double_Window.H>

namespace ui::fltk {

// Row `row` of `rows`: red 255 - 19r/n, green 255 - 22r/n, blue 255 - 39r/n,
// truncated: white at the top, RGB(236, 233, 216) at the bottom.
void GradientColour(int row, int rows, unsigned char* red, unsigned char* green, unsigned char* blue);

class BackdropWindow : public Fl_Double_Window {
 public:
  BackdropWindow(int width, int height, const char* title);
  // Rows from `top` (window pixels) to the bottom get the gradient; -1 for none.
  void SetGradientTop(int top);
  // Paints the surface in the given window rectangle.
  void DrawBackdrop(int x, int y, int width, int height);

 protected:
  void draw() override;

 private:
  int gradientTop_ = -1;
};

// Paints whatever lies under `widget`: the backdrop of its window, or the colour
// of its parent group.
void PaintBackdropUnder(Fl_Widget& widget);

}  // namespace ui::fltk
