#include "versions/version.h"

#include <cstddef>

namespace {

constexpr char kBuildWord[] = "BUILD";
constexpr size_t kBuildWordLength = sizeof(kBuildWord) - 1;
constexpr int kComponentCount = 4;
constexpr int kFieldBits = 16;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Only ASCII letters matter: the one word looked for is "BUILD", and every other
// letter is deleted afterwards whatever its case.
std::string AsciiUpper(const std::string& text) {
  std::string upper = text;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

std::string ReplaceBuildWord(const std::string& text) {
  std::string out;
  size_t at = 0;
  for (size_t found; (found = text.find(kBuildWord, at)) != std::string::npos;
       at = found + kBuildWordLength) {
    out.append(text, at, found - at);
    out += '.';
  }
  out.append(text, at, std::string::npos);
  return out;
}

// The number formed by the leading digits, 0 when there are none. Saturates at
// 32 bits rather than wrapping: such a component is nonsense either way, but it
// should at least stay huge.
uint64_t LeadingNumber(const std::string& component) {
  constexpr uint64_t kLimit = 0xFFFFFFFFu;
  uint64_t value = 0;
  for (char c : component) {
    if (!IsDigit(c)) break;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > kLimit) return kLimit;
  }
  return value;
}

// Splits off the text before the first point. A rest without a point is returned
// whole and stays as it is, so it is taken again for every missing component.
std::string TakeComponent(std::string* rest) {
  size_t point = rest->find('.');
  if (point == std::string::npos) return *rest;
  std::string component = rest->substr(0, point);
  rest->erase(0, point + 1);
  return component;
}

}  // namespace

std::string NormalizeVersion(const std::string& text) {
  std::string replaced = ReplaceBuildWord(AsciiUpper(text));
  std::string normalized;
  for (char c : replaced) {
    if (IsDigit(c) || c == '.') normalized += c;
  }
  return normalized;
}

std::string VersionFolderName(const std::string& text) {
  std::string name = NormalizeVersion(text);
  for (char& c : name) {
    if (c == '.') c = '_';
  }
  return name;
}

uint64_t ParseVersion(const std::string& text) {
  std::string rest = NormalizeVersion(text);
  uint64_t value = 0;
  for (int i = 0; i < kComponentCount; ++i) {
    int shift = kFieldBits * (kComponentCount - 1 - i);
    value |= LeadingNumber(TakeComponent(&rest)) << shift;
  }
  return value;
}
