#include "platform/text_encoding.h"

namespace platform {
namespace {

// Length of the UTF-8 sequence that starts with `lead`, 0 for a byte that cannot
// start one.
size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 0;
}

// Code points of bytes 0x80-0x9F; the five positions Windows leaves unassigned
// keep their Latin-1 control code, so every byte survives a round trip.
constexpr unsigned kHighPunctuation[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

unsigned CodePointOf(unsigned char byte) { return byte >= 0x80 && byte < 0xA0 ? kHighPunctuation[byte - 0x80] : byte; }

// The byte for a code point, or '?' when it has none.
char ByteOf(unsigned codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return static_cast<char>(codePoint);
  for (unsigned i = 0; i < 32; ++i) {
    if (kHighPunctuation[i] == codePoint) return static_cast<char>(0x80 + i);
  }
  return '?';
}

void AppendUtf8(unsigned codePoint, std::string* out) {
  if (codePoint < 0x80) {
    *out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    *out += static_cast<char>(0xC0 | (codePoint >> 6));
    *out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    *out += static_cast<char>(0xE0 | (codePoint >> 12));
    *out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

}  // namespace

std::string Utf8ToLatin1(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    const size_t length = SequenceLength(lead);
    bool whole = length != 0 && i + length <= utf8.size();
    for (size_t k = 1; whole && k < length; ++k) whole = (static_cast<unsigned char>(utf8[i + k]) & 0xC0) == 0x80;
    if (!whole) {
      out += '?';
      ++i;
      continue;
    }
    unsigned codePoint = length == 1 ? lead : lead & (0xFFu >> (length + 1));
    for (size_t k = 1; k < length; ++k) codePoint = (codePoint << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
    // Overlong forms (an ASCII character in two bytes and the like) are not characters of their own.
    const bool overlong = (length == 2 && codePoint < 0x80) || (length == 3 && codePoint < 0x800) ||
                          (length == 4 && codePoint < 0x10000);
    out += overlong ? '?' : ByteOf(codePoint);
    i += length;
  }
  return out;
}

std::string Latin1ToUtf8(const std::string& latin1) {
  std::string out;
  out.reserve(latin1.size());
  for (char c : latin1) AppendUtf8(CodePointOf(static_cast<unsigned char>(c)), &out);
  return out;
}

}  // namespace platform
