#include "ui/list_order.h"

#include <cctype>

namespace ui {
namespace {

// Rank of one byte: punctuation and spaces, then digits, then letters (case
// folded), then everything above ASCII in byte order.
int Rank(unsigned char c) {
  if (c >= 0x80) return 0x300 + c;
  if (std::isdigit(c)) return 0x100 + c;
  if (std::isalpha(c)) return 0x200 + std::tolower(c);
  return c;
}

}  // namespace

bool ListOrderLess(const std::string& a, const std::string& b) {
  const size_t common = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < common; ++i) {
    const int left = Rank(static_cast<unsigned char>(a[i]));
    const int right = Rank(static_cast<unsigned char>(b[i]));
    if (left != right) return left < right;
  }
  return a.size() < b.size();
}

}  // namespace ui
