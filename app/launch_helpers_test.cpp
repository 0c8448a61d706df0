#include <gtest/gtest.h>

#include "app/launch.h"
#include "ui/headless/headless_toolkit.h"

namespace {

TEST(NormalizeSystemNameTest, EveryTypedFormBecomesTheSystemName) {
  struct Case {
    const char* typed;
    const char* name;
  } cases[] = {
      {"quorvex:12-34-56", "Quorvex: 12-34-56"}, {"123456", "Quorvex: 12-34-56"},
      {"12-34-56", "Quorvex: 12-34-56"},         {"  12-3456", "Quorvex: 12-34-56"},
      {"1234567", "Quorvex: 12-34-56"},          {"1234", "Quorvex: 12-34-"},
      {"Quorvex: 12-34-56", "Quorvex: 12-34-56"}, {"", "Quorvex: --"},
  };
  for (const Case& c : cases) EXPECT_EQ(NormalizeSystemName(c.typed), c.name) << c.typed;
}

// Only numeric hosts here: a name would be looked up, and these tests may run
// outside the private network namespace.
TEST(ParseHostAddressTest, DottedAddressesWithAndWithoutAPort) {
  struct Case {
    const char* typed;
    bool ok;
    uint32_t address;  // as it lies in memory: first number in the lowest byte
    uint16_t port;
    const char* rest;  // the text after the call
  } cases[] = {
      {"192.168.1.20:4000", true, 0x1401A8C0, 4000, "192.168.1.20"},
      {"192.168.1.20", true, 0x1401A8C0, 80, "192.168.1.20"},
      {"192.168.1.20:", true, 0x1401A8C0, 0, "192.168.1.20"},
      {"10.0.0", false, 0, 80, "10.0.0"},
      {"0.0.0.0", false, 0, 80, "0.0.0.0"},
      {"", false, 0, 80, ""},
  };
  for (const Case& c : cases) {
    std::string text = c.typed;
    uint32_t address = 0;
    uint16_t port = 0;
    EXPECT_EQ(ParseHostAddress(text, &address, &port), c.ok) << c.typed;
    if (c.ok) {
      EXPECT_EQ(address, c.address) << c.typed;
    }
    EXPECT_EQ(port, c.port) << c.typed;
    EXPECT_EQ(text, c.rest) << c.typed;
  }
}

TEST(SmallScreenTest, AtMostSixHundredPixelsAndNeverHeadless) {
  ui::HeadlessToolkit toolkit;
  ui::SetToolkit(&toolkit);
  EXPECT_FALSE(IsSmallScreen());
  toolkit.SetScreenHeight(600);
  EXPECT_TRUE(IsSmallScreen());
  toolkit.SetScreenHeight(601);
  EXPECT_FALSE(IsSmallScreen());
  ui::SetToolkit(nullptr);
}

}  // namespace
