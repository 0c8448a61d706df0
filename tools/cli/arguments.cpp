#include "tools/cli/arguments.h"

#include <cerrno>
#include <cstdlib>

bool Arguments::TakeOption(const std::string& name, std::string* value, bool* missing) {
  if (AtEnd()) return false;
  const std::string& word = words_[next_];
  if (word == name) {
    ++next_;
    if (AtEnd()) {
      *missing = true;
      return true;
    }
    *value = words_[next_++];
    return true;
  }
  if (word.compare(0, name.size() + 1, name + "=") == 0) {
    *value = word.substr(name.size() + 1);
    ++next_;
    return true;
  }
  return false;
}

bool Arguments::TakeFlag(const std::string& name) {
  if (AtEnd() || words_[next_] != name) return false;
  ++next_;
  return true;
}

bool Arguments::TakeWord(std::string* word) {
  if (AtEnd() || words_[next_].compare(0, 2, "--") == 0) return false;
  *word = words_[next_++];
  return true;
}

bool ParseCount(const std::string& text, long* value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 9) return false;
  *value = std::strtol(text.c_str(), nullptr, 10);
  return true;
}
