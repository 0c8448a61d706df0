#include "app/command_line.h"

namespace {

// The value has always lived in a 256-byte buffer. A value of 256 characters or
// more would fill it without a terminating zero, so it is cut to 255 characters,
// the most that buffer holds as a text.
constexpr size_t kMaxValueLength = kOptionValueBufferSize - 1;

std::string ValueAt(const std::string& line, size_t start) {
  std::string value;
  for (size_t i = start; i < line.size() && value.size() < kMaxValueLength; ++i) {
    if (line[i] == '/') break;
    value += line[i];
  }
  return value;
}

void TrimTrailingSpaces(std::string* value) {
  size_t end = value->find_last_not_of(' ');
  value->erase(end == std::string::npos ? 0 : end + 1);
}

}  // namespace

bool FindOption(const std::string& commandLine, const std::string& option, std::string* value) {
  value->clear();
  // The command line is a C text: anything after a zero byte is not part of it.
  std::string line(commandLine.c_str());
  size_t found = line.find(option);
  if (found == std::string::npos) return false;
  *value = ValueAt(line, found + option.size());
  TrimTrailingSpaces(value);
  return true;
}
