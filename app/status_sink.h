// How long operations report progress lines and let the user cancel.
#pragma once

#include <string>

class CStatusSink {
 public:
  virtual ~CStatusSink() = default;
  virtual void ShowStatus(std::string text) { (void)text; }
  // False once the user has cancelled.
  virtual bool Poll() { return true; }
};
