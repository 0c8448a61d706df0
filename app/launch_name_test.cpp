// Name look-ups: only inside the private network namespace, where they fail at once.
#include <gtest/gtest.h>

#include "app/launch.h"

namespace {

TEST(ParseHostAddressLookupTest, ASystemNameIsNotAnAddress) {
  std::string text = "Quorvex: 12-34-56";
  uint32_t address = 0;
  uint16_t port = 0;
  EXPECT_FALSE(ParseHostAddress(text, &address, &port));
  EXPECT_EQ(port, 12);  // the number after the colon, leading space skipped
  EXPECT_EQ(text, "Quorvex");
}

}  // namespace
