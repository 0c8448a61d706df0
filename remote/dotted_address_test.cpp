#include "remote/dotted_address.h"

#include <gtest/gtest.h>

#include <array>

namespace {

struct DottedCase {
  const char* text;
  const char* prefix;
  bool withPort;
  bool parsed;
  std::array<uint8_t, 4> bytes;
  int32_t port;
};
void PrintTo(const DottedCase& c, std::ostream* out) { *out << '"' << c.text << '"' << (c.withPort ? " with port" : ""); }

class ParseDottedAddressTest : public ::testing::TestWithParam<DottedCase> {};

TEST_P(ParseDottedAddressTest, ReadsTheNumbersTheLenientWay) {
  const DottedCase& c = GetParam();
  std::array<uint8_t, 4> bytes = {9, 9, 9, 9};
  int32_t port = -7;
  const bool parsed =
      ParseDottedAddress(c.text, c.prefix, &bytes[0], &bytes[1], &bytes[2], &bytes[3], c.withPort ? &port : nullptr);
  ASSERT_EQ(parsed, c.parsed);
  if (!parsed) return;
  EXPECT_EQ(bytes, c.bytes);
  if (c.withPort) {
    EXPECT_EQ(port, c.port);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseDottedAddressTest,
    ::testing::Values(DottedCase{"10.0.0.1\r\n", "", false, true, {10, 0, 0, 1}, 0},
                      DottedCase{"10.0.0", "", false, false, {}, 0},
                      DottedCase{"10.0.0.1:8080", "", true, true, {10, 0, 0, 1}, 8080},
                      DottedCase{"10.0.0.1:8080\r\n", "", true, true, {10, 0, 0, 1}, 8080},
                      DottedCase{"10.0.0.1", "", true, false, {}, 0},
                      DottedCase{"10.0.0.", "", true, false, {}, 0},
                      DottedCase{"10.0.0.1:", "", true, true, {10, 0, 0, 1}, 0},
                      DottedCase{"192.168.1.300", "", false, true, {192, 168, 1, 44}, 0},
                      DottedCase{"a.b.c.d", "", false, true, {0, 0, 0, 0}, 0},
                      DottedCase{"1x.2.3.4y", "", false, true, {1, 2, 3, 4}, 0},
                      DottedCase{"Found at 1.2.3.4:500", "at ", true, true, {1, 2, 3, 4}, 500},
                      DottedCase{"1.2.3.4", "at ", false, false, {}, 0},
                      DottedCase{"at 1.2.3.4 at 5.6.7.8", "at ", false, true, {1, 2, 3, 4}, 0},
                      // A port too long for 32 bits wraps rather than overflowing.
                      DottedCase{"1.2.3.4:4294967297", "", true, true, {1, 2, 3, 4}, 1}));

TEST(ParseDottedAddressTest, EveryOutputMayBeLeftOut) {
  EXPECT_TRUE(ParseDottedAddress("1.2.3.4:5", "", nullptr, nullptr, nullptr, nullptr, nullptr));
  int32_t port = 0;
  EXPECT_TRUE(ParseDottedAddress("1.2.3.4:5", "", nullptr, nullptr, nullptr, nullptr, &port));
  EXPECT_EQ(port, 5);
}

}  // namespace
