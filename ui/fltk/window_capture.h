// For the window tests: the pixels a window shows on the screen, read back from
// the X server, and a way to keep them as a PNG file.
#pragma once

#include <string>
#include <vector>

class Fl_Window;

namespace ui::testing {

struct Pixel {
  int red, green, blue;
};

class WindowCapture {
 public:
  // Reads the shown window's client area as it is on the screen now.
  explicit WindowCapture(Fl_Window& window);
  int Width() const { return width_; }
  int Height() const { return height_; }
  Pixel At(int x, int y) const;
  int DistinctColours() const;
  // Writes the picture as PNG through ImageMagick; false on failure.
  bool SavePng(const std::string& path) const;

 private:
  int width_ = 0, height_ = 0;
  std::vector<unsigned char> rgb_;
};

}  // namespace ui::testing
