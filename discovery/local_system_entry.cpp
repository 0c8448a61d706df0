#include "discovery/local_system_entry.h"

#include <cstdio>

#include "platform/network_tables.h"

namespace {

// Latin-1 upper-case letters are A-Z and 0xC0-0xDE without the multiplication sign.
unsigned char FoldCase(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 0x20);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 0x20);
  return c;
}

}  // namespace

std::string LocalSystemEntry::LineText() const {
  char tail[32];
  std::snprintf(tail, sizeof tail, ":%ld)", static_cast<long>(port));
  return name + " (" + FormatIPv4(address) + tail;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(static_cast<unsigned char>(a[i])) != FoldCase(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}
