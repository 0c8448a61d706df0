// Draws the application icon (a drop of pool water over a ripple, the same design
// as tidewatcher-connect.svg) and writes it as a PNG: make_icon SIZE OUTPUT.
// The PNG is written uncompressed (stored deflate blocks), which every reader takes.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Colour {
  double r, g, b, a;
};

Colour Mix(Colour x, Colour y, double t) {
  return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}

// Over compositing of c onto base.
Colour Over(Colour base, Colour c) {
  const double a = c.a + base.a * (1 - c.a);
  if (a <= 0) return {0, 0, 0, 0};
  return {(c.r * c.a + base.r * base.a * (1 - c.a)) / a, (c.g * c.a + base.g * base.a * (1 - c.a)) / a,
          (c.b * c.a + base.b * base.a * (1 - c.a)) / a, a};
}

// The design in a 48 x 48 space.
Colour Sample(double x, double y) {
  Colour pixel{0, 0, 0, 0};
  // The pool: an ellipse at the bottom.
  const double ex = (x - 24) / 20, ey = (y - 40) / 6;
  if (ex * ex + ey * ey <= 1) pixel = Over(pixel, Mix({0.23, 0.71, 0.90, 1}, {0.04, 0.35, 0.60, 1}, (y - 34) / 12));
  // A ripple across it.
  if (std::fabs(y - (40 - 1.5 * std::sin((x - 6) * M_PI / 4.5))) < 0.8 && x > 6 && x < 42) {
    pixel = Over(pixel, {0.85, 0.96, 1, 1});
  }
  // The drop: a circle of radius 13 at (24, 27) that narrows to a point at (24, 3).
  const double dx = x - 24, dy = y - 27;
  bool inDrop = dx * dx + dy * dy <= 13 * 13;
  if (!inDrop && y >= 3 && y < 27) {
    const double halfWidth = 13 * std::pow((y - 3) / 24, 1.3);
    inDrop = std::fabs(dx) <= halfWidth;
  }
  if (inDrop) {
    Colour water = Mix({0.50, 0.85, 0.96, 1}, {0.04, 0.44, 0.72, 1}, (y - 3) / 37);
    // A highlight on its left.
    const double hx = x - 19.5, hy = y - 28;
    if (std::fabs(std::sqrt(hx * hx * 4 + hy * hy) - 5) < 1.1 && hx < 0) water = Mix(water, {1, 1, 1, 1}, 0.75);
    pixel = Over(pixel, water);
  }
  return pixel;
}

uint32_t Crc(const std::vector<uint8_t>& bytes, size_t from) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = from; i < bytes.size(); ++i) {
    crc ^= bytes[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc ^ 0xFFFFFFFFu;
}

void PutBig(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  PutBig(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBig(out, Crc(out, start));
}

std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out = {0x78, 0x01};
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  size_t at = 0;
  do {
    const size_t length = raw.size() - at < 65535 ? raw.size() - at : 65535;
    out.push_back(at + length == raw.size() ? 1 : 0);
    out.push_back(static_cast<uint8_t>(length));
    out.push_back(static_cast<uint8_t>(length >> 8));
    out.push_back(static_cast<uint8_t>(~length));
    out.push_back(static_cast<uint8_t>(~length >> 8));
    out.insert(out.end(), raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at + length));
    at += length;
  } while (at < raw.size());
  PutBig(out, (b << 16) | a);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_icon SIZE OUTPUT\n");
    return 2;
  }
  const int size = std::atoi(argv[1]);
  if (size < 16 || size > 1024) return 2;
  const int samples = 4;  // per axis, for smooth edges
  std::vector<uint8_t> raw;
  for (int row = 0; row < size; ++row) {
    raw.push_back(0);  // no filter
    for (int column = 0; column < size; ++column) {
      double r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < samples; ++sy) {
        for (int sx = 0; sx < samples; ++sx) {
          const double x = (column + (sx + 0.5) / samples) * 48.0 / size;
          const double y = (row + (sy + 0.5) / samples) * 48.0 / size;
          const Colour c = Sample(x, y);
          r += c.r * c.a;
          g += c.g * c.a;
          b += c.b * c.a;
          a += c.a;
        }
      }
      const double n = samples * samples;
      const double alpha = a / n;
      auto channel = [&](double premultiplied) {
        return static_cast<uint8_t>(alpha > 0 ? std::lround(255 * premultiplied / a) : 0);
      };
      raw.push_back(channel(r));
      raw.push_back(channel(g));
      raw.push_back(channel(b));
      raw.push_back(static_cast<uint8_t>(std::lround(255 * alpha)));
    }
  }
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<uint8_t> header;
  PutBig(header, static_cast<uint32_t>(size));
  PutBig(header, static_cast<uint32_t>(size));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", StoredZlib(raw));
  Chunk(png, "IEND", {});
  FILE* file = std::fopen(argv[2], "wb");
  if (file == nullptr) return 1;
  const bool ok = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  return std::fclose(file) == 0 && ok ? 0 : 1;
}
