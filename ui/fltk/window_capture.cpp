#include "ui/fltk/window_capture.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <set>

extern char** environ;

namespace ui::testing {

WindowCapture::WindowCapture(Fl_Window& window) {
  XSync(fl_display, False);
  window.make_current();
  width_ = window.w();
  height_ = window.h();
  unsigned char* pixels = fl_read_image(nullptr, 0, 0, width_, height_);
  if (pixels == nullptr) {
    width_ = height_ = 0;
    return;
  }
  rgb_.assign(pixels, pixels + static_cast<size_t>(width_) * height_ * 3);
  delete[] pixels;
}

Pixel WindowCapture::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return {-1, -1, -1};
  const unsigned char* p = &rgb_[(static_cast<size_t>(y) * width_ + x) * 3];
  return {p[0], p[1], p[2]};
}

int WindowCapture::DistinctColours() const {
  std::set<int> colours;
  for (size_t i = 0; i + 2 < rgb_.size(); i += 3) colours.insert(rgb_[i] << 16 | rgb_[i + 1] << 8 | rgb_[i + 2]);
  return static_cast<int>(colours.size());
}

bool WindowCapture::SavePng(const std::string& path) const {
  if (rgb_.empty()) return false;
  const std::string ppm = path + ".ppm";
  FILE* file = std::fopen(ppm.c_str(), "wb");
  if (file == nullptr) return false;
  std::fprintf(file, "P6\n%d %d\n255\n", width_, height_);
  const bool written = std::fwrite(rgb_.data(), 1, rgb_.size(), file) == rgb_.size();
  std::fclose(file);
  const std::string out = "png:" + path;
  const char* argv[] = {"/usr/bin/convert", ppm.c_str(), out.c_str(), nullptr};
  pid_t pid = -1;
  int status = -1;
  if (written && posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char* const*>(argv), environ) == 0) {
    waitpid(pid, &status, 0);
  }
  unlink(ppm.c_str());
  return written && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace ui::testing
