// For the window tests: an Xvfb server of their own (1024 x 768, 24 bits, no TCP
// listener) on a display number it picks itself, with DISPLAY pointing at it for
// as long as the test program runs. Registered as a GoogleTest environment, so a
// run that only lists the tests starts no server.
#pragma once

#include <gtest/gtest.h>

#include <sys/types.h>

namespace ui::testing {

class VirtualDisplay : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;

 private:
  pid_t server_ = -1;
};

}  // namespace ui::testing
