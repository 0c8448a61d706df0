// A small reader of a subcommand's arguments: "--name VALUE" or "--name=VALUE",
// flags, and plain words.
#pragma once

#include <string>
#include <vector>

class Arguments {
 public:
  explicit Arguments(std::vector<std::string> words) : words_(std::move(words)) {}

  bool AtEnd() const { return next_ >= words_.size(); }
  // True when the next word is the option; its value (inline or the following
  // word) goes to *value. *missing is set when the value is absent.
  bool TakeOption(const std::string& name, std::string* value, bool* missing);
  bool TakeFlag(const std::string& name);
  // The next word, if it does not start with "--".
  bool TakeWord(std::string* word);
  std::string Peek() const { return AtEnd() ? std::string() : words_[next_]; }

 private:
  std::vector<std::string> words_;
  size_t next_ = 0;
};

// A whole non-negative number; false otherwise.
bool ParseCount(const std::string& text, long* value);
