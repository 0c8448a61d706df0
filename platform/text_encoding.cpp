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
    if (length == 1) {
      out += static_cast<char>(lead);
    } else if (length == 2) {
      const unsigned codePoint = ((lead & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
      // Overlong forms of ASCII (C0, C1) are not characters of their own.
      out += codePoint >= 0x80 && codePoint <= 0xFF ? static_cast<char>(codePoint) : '?';
    } else {
      out += '?';
    }
    i += length;
  }
  return out;
}

std::string Latin1ToUtf8(const std::string& latin1) {
  std::string out;
  out.reserve(latin1.size());
  for (char c : latin1) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

}  // namespace platform
