#include "ui/fltk/artwork.h"

#include <FL/Fl.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace ui::fltk {
namespace {

struct Colour {
  double red, green, blue;
};

struct Rgba {
  Colour colour;
  double alpha;  // 0 outside the shape
};

Colour Mix(const Colour& a, const Colour& b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {a.red + (b.red - a.red) * t, a.green + (b.green - a.green) * t, a.blue + (b.blue - a.blue) * t};
}

unsigned char Byte(double value) { return static_cast<unsigned char>(std::clamp(value, 0.0, 255.0) + 0.5); }

// ---- the picture ----------------------------------------------------------

constexpr double kHorizon = 0.40;  // of the height
const Colour kSkyTop{52, 118, 196};
const Colour kSkyHorizon{198, 228, 244};
const Colour kSunGlow{255, 248, 226};
const Colour kWaterNear{4, 86, 146};
const Colour kWaterFar{58, 182, 212};
const Colour kCaustic{214, 255, 255};

Colour SkyAt(double u, double v, double width, double height) {
  const double t = v / kHorizon;
  Colour sky = Mix(kSkyTop, kSkyHorizon, t * t);
  const double dx = (u - 0.80) * width / height, dy = v - 0.12;
  const double glow = std::exp(-(dx * dx + dy * dy) / 0.02);
  return Mix(sky, kSunGlow, glow * 0.85);
}

// Ripples get finer toward the horizon, as a flat surface seen at a slant does.
double Ripple(double x, double depth) {
  const double z = 1.0 / (depth + 0.12);
  const double across = x * 0.018 * z;
  return std::sin(across * 1.3 + z * 5.0) * 0.5 + std::sin(-across * 0.7 + z * 8.3 + 1.7) * 0.3 +
         std::sin(across * 2.9 + z * 2.1 + 0.4) * 0.2;
}

// The bright net that sunlight draws on a pool floor: where three waves cancel.
double Caustic(double x, double y) {
  const double a = x * 0.075 + std::sin(y * 0.045) * 1.6;
  const double b = (x * 0.5 + y * 0.87) * 0.069 + std::sin(x * 0.031) * 1.3;
  const double c = (x * -0.5 + y * 0.87) * 0.081 + std::sin((x + y) * 0.027) * 1.1;
  const double sum = std::fabs(std::sin(a) + std::sin(b) + std::sin(c));
  return std::pow(std::max(0.0, 1.0 - sum / 1.1), 5.0);
}

Colour WaterAt(double x, double y, double width, double height) {
  const double horizonY = kHorizon * height;
  const double depth = (y - horizonY) / (height - horizonY);
  Colour water = Mix(kWaterFar, kWaterNear, std::pow(depth, 0.8));
  const double ripple = Ripple(x - width / 2, depth);
  water = Mix(water, ripple > 0 ? Colour{230, 250, 255} : Colour{0, 40, 90}, std::fabs(ripple) * 0.16);
  water = Mix(water, kCaustic, Caustic(x, y * 1.6) * (0.25 + 0.45 * depth));
  // The sun's reflection: a column of glints under it.
  const double column = std::exp(-std::pow((x / width - 0.80) / (0.03 + depth * 0.08), 2.0));
  if (ripple > 0.55) water = Mix(water, kSunGlow, column * (1.0 - depth) * 0.9);
  // A bright seam where the water meets the sky.
  water = Mix(water, kSkyHorizon, std::exp(-std::pow((y - horizonY) / 2.5, 2.0)) * 0.7);
  return water;
}

std::vector<unsigned char> RenderPicture(int width, int height) {
  std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 3);
  unsigned char* out = pixels.data();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool sky = y < kHorizon * height;
      const Colour c = sky ? SkyAt(static_cast<double>(x) / width, static_cast<double>(y) / height, width, height)
                           : WaterAt(x, y, width, height);
      *out++ = Byte(c.red);
      *out++ = Byte(c.green);
      *out++ = Byte(c.blue);
    }
  }
  return pixels;
}

void DrawProductName(int x, int y, double scale) {
  const int big = static_cast<int>(std::lround(26 * scale));
  const int small = static_cast<int>(std::lround(12 * scale));
  const int left = x + static_cast<int>(std::lround(14 * scale));
  const int baseline = y + static_cast<int>(std::lround(14 * scale)) + big;
  const int shadow = std::max(1, static_cast<int>(std::lround(scale)));
  fl_font(FL_HELVETICA_BOLD_ITALIC, big);
  fl_color(fl_rgb_color(20, 70, 130));
  fl_draw("Tidewatcher", left + shadow, baseline + shadow);
  fl_color(FL_WHITE);
  fl_draw("Tidewatcher", left, baseline);
  fl_font(FL_HELVETICA_BOLD, small);
  const int second = baseline + small + static_cast<int>(std::lround(3 * scale));
  fl_color(fl_rgb_color(20, 70, 130));
  fl_draw("C O N N E C T", left + shadow + 2, second + shadow);
  fl_color(FL_WHITE);
  fl_draw("C O N N E C T", left + 2, second);
}

// ---- shapes with soft edges ------------------------------------------------

using Shader = std::function<Rgba(double u, double v)>;

struct Sprite {
  std::vector<unsigned char> pixels;
  std::unique_ptr<Fl_RGB_Image> image;
};

// Renders a shader over [0,1] x [0,1] into RGBA, four by four samples a pixel,
// so that round edges blend into whatever they are drawn on.
std::unique_ptr<Sprite> RenderSprite(int size, const Shader& shade) {
  constexpr int kSamples = 4;
  auto sprite = std::make_unique<Sprite>();
  sprite->pixels.resize(static_cast<size_t>(size) * size * 4);
  unsigned char* out = sprite->pixels.data();
  for (int py = 0; py < size; ++py) {
    for (int px = 0; px < size; ++px) {
      double red = 0, green = 0, blue = 0, alpha = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const Rgba s = shade((px + (sx + 0.5) / kSamples) / size, (py + (sy + 0.5) / kSamples) / size);
          red += s.colour.red * s.alpha;
          green += s.colour.green * s.alpha;
          blue += s.colour.blue * s.alpha;
          alpha += s.alpha;
        }
      }
      const double n = kSamples * kSamples;
      *out++ = Byte(alpha > 0 ? red / alpha : 0);
      *out++ = Byte(alpha > 0 ? green / alpha : 0);
      *out++ = Byte(alpha > 0 ? blue / alpha : 0);
      *out++ = Byte(alpha / n * 255);
    }
  }
  sprite->image = std::make_unique<Fl_RGB_Image>(sprite->pixels.data(), size, size, 4);
  return sprite;
}

// The sprites drawn so far, by shape and size.
Fl_RGB_Image* CachedSprite(int shape, int size, const Shader& shade) {
  static std::map<std::pair<int, int>, std::unique_ptr<Sprite>> cache;
  std::unique_ptr<Sprite>& slot = cache[{shape, size}];
  if (!slot) slot = RenderSprite(size, shade);
  return slot->image.get();
}

Shader Disc(Colour light, Colour dark, Colour rim) {
  return [=](double u, double v) {
    const double dx = u - 0.5, dy = v - 0.5;
    const double r = std::sqrt(dx * dx + dy * dy);
    if (r > 0.47) return Rgba{rim, 0.0};
    if (r > 0.41) return Rgba{rim, 1.0};
    const double lightness = std::sqrt((u - 0.35) * (u - 0.35) + (v - 0.3) * (v - 0.3)) / 0.6;
    return Rgba{Mix(light, dark, lightness), 1.0};
  };
}

Rgba Triangle(double u, double v) {
  // Apex at the top centre, base along the bottom.
  const double top = 0.06, bottom = 0.92;
  if (v < top || v > bottom) return {{0, 0, 0}, 0.0};
  const double half = 0.46 * (v - top) / (bottom - top);
  const double edge = half - std::fabs(u - 0.5);
  if (edge < 0) return {{0, 0, 0}, 0.0};
  const Colour rim{150, 110, 0};
  if (edge < 0.05 || v > bottom - 0.05) return {rim, 1.0};
  return {Mix(Colour{255, 230, 90}, Colour{240, 180, 20}, v), 1.0};
}

// A drop: x = sin t * sin(t/2), y = cos t, tip up.
Rgba Drop(double u, double v) {
  const double margin = 0.04;
  const double y = 1.0 - 2.0 * (v - margin) / (1.0 - 2 * margin);
  const double x = (u - 0.5) * 2.0 / (1.0 - 2 * margin);
  if (y > 1.0 || y < -1.0) return {{0, 0, 0}, 0.0};
  const double t = std::acos(y);
  const double half = std::sin(t) * std::sin(t / 2.0);
  const double inside = half - std::fabs(x);
  if (inside < 0) return {{0, 0, 0}, 0.0};
  Colour c = Mix(Colour{150, 222, 255}, Colour{0, 92, 196}, (1.0 - y) / 2.0);
  if (inside < 0.09 || y < -0.93) c = Mix(c, Colour{0, 55, 140}, 0.7);
  const double hx = (x + 0.28) / 0.13, hy = (y + 0.22) / 0.28;
  if (hx * hx + hy * hy < 1.0) c = Mix(c, Colour{255, 255, 255}, 0.75);
  return {c, 1.0};
}

enum Shape { kHelpActive, kHelpInactive, kInformation, kWarning, kError, kDrop };

void DrawCentredText(const char* text, Fl_Font font, int x, int y, int size, Fl_Color colour) {
  fl_font(font, std::max(6, size * 4 / 5));
  fl_color(colour);
  fl_draw(text, x, y, size, size, FL_ALIGN_CENTER, nullptr, 0);
}

}  // namespace

void DrawWaterPicture(int x, int y, int width, int height, double scale) {
  if (width <= 0 || height <= 0) return;
  static int cachedWidth = 0, cachedHeight = 0;
  static std::vector<unsigned char> cached;
  if (width != cachedWidth || height != cachedHeight) {
    cached = RenderPicture(width, height);
    cachedWidth = width;
    cachedHeight = height;
  }
  fl_draw_image(cached.data(), x, y, width, height, 3);
  DrawProductName(x, y, scale);
}

void DrawHelpIcon(int x, int y, int size, bool active) {
  if (size <= 0) return;
  Fl_RGB_Image* disc =
      active ? CachedSprite(kHelpActive, size, Disc({96, 170, 240}, {18, 88, 190}, {10, 62, 150}))
             : CachedSprite(kHelpInactive, size, Disc({200, 200, 200}, {150, 150, 150}, {130, 130, 130}));
  disc->draw(x, y);
  DrawCentredText("?", FL_HELVETICA_BOLD, x, y, size, FL_WHITE);
}

void DrawMessageIcon(MessageBoxIcon icon, int x, int y, int size) {
  switch (icon) {
    case MessageBoxIcon::kNone:
      return;
    case MessageBoxIcon::kInformation:
      CachedSprite(kInformation, size, Disc({110, 180, 245}, {20, 90, 200}, {10, 62, 150}))->draw(x, y);
      DrawCentredText("i", FL_TIMES_BOLD, x, y, size, FL_WHITE);
      return;
    case MessageBoxIcon::kWarning:
      CachedSprite(kWarning, size, Triangle)->draw(x, y);
      DrawCentredText("!", FL_HELVETICA_BOLD, x, y + size / 10, size, FL_BLACK);
      return;
    case MessageBoxIcon::kError:
      CachedSprite(kError, size, Disc({245, 110, 100}, {200, 30, 30}, {140, 10, 10}))->draw(x, y);
      DrawCentredText("X", FL_HELVETICA_BOLD, x, y, size, FL_WHITE);
      return;
  }
}

const Fl_RGB_Image* AppIcon(int size) { return CachedSprite(kDrop, size, Drop); }

}  // namespace ui::fltk
