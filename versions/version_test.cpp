#include "versions/version.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

namespace {

uint64_t Fields(uint64_t a, uint64_t b, uint64_t c, uint64_t d) {
  return a << 48 | b << 32 | c << 16 | d;
}

struct VersionCase {
  const char* text;
  const char* normalized;
  const char* folder;
  uint64_t value;
};

// Printed as its label, so test names stay readable in test listings.
void PrintTo(const VersionCase& c, std::ostream* out) { *out << c.text; }

class VersionTextTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionTextTest, NormalizesNamesAndValues) {
  const VersionCase& c = GetParam();
  EXPECT_EQ(NormalizeVersion(c.text), c.normalized);
  EXPECT_EQ(VersionFolderName(c.text), c.folder);
  EXPECT_EQ(ParseVersion(c.text), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, VersionTextTest,
    ::testing::Values(
        VersionCase{"5.2 Build 738.0 Rel", "5.2.738.0", "5_2_738_0", Fields(5, 2, 738, 0)},
        VersionCase{"5.2 build 738.0 rel", "5.2.738.0", "5_2_738_0", Fields(5, 2, 738, 0)},
        VersionCase{"5.2Build738.0", "5.2.738.0", "5_2_738_0", Fields(5, 2, 738, 0)},
        VersionCase{"5.2.738.0 (beta)", "5.2.738.0", "5_2_738_0", Fields(5, 2, 738, 0)},
        VersionCase{"[v 4.0.1059.0]", "4.0.1059.0", "4_0_1059_0", Fields(4, 0, 1059, 0)},
        // Components past the fourth are ignored.
        VersionCase{"1.2.3.4.5", "1.2.3.4.5", "1_2_3_4_5", Fields(1, 2, 3, 4)},
        // Fewer than four: the last component stands in for each missing one.
        VersionCase{"5.2", "5.2", "5_2", Fields(5, 2, 2, 2)},
        VersionCase{"7", "7", "7", Fields(7, 7, 7, 7)},
        VersionCase{"5.2.", "5.2.", "5_2_", Fields(5, 2, 0, 0)},
        // Empty components count 0.
        VersionCase{"1..3.4", "1..3.4", "1__3_4", Fields(1, 0, 3, 4)},
        VersionCase{"no digits", "", "", 0},
        // Not masked: 65536 in the third field spills into the second.
        VersionCase{"1.0.65536.0", "1.0.65536.0", "1_0_65536_0", Fields(1, 1, 0, 0)}));

TEST(VersionTest, ComparesNumericallyNotAsText) {
  EXPECT_GT(ParseVersion("4.0.1059.0"), ParseVersion("4.0.488.0"));
  EXPECT_LT(std::string("4.0.1059.0"), std::string("4.0.488.0"));
  EXPECT_GT(ParseVersion("5.2 Build 738.0 Rel"), ParseVersion("4.0.1059.0"));
  EXPECT_EQ(ParseVersion("4.0.488.0"), ParseVersion("4.0 Build 488.0"));
}

TEST(VersionTest, HugeComponentDoesNotWrapToSmall) {
  // Twenty nines would wrap a 64-bit accumulator to an arbitrary value.
  EXPECT_EQ(ParseVersion("0.0.0.99999999999999999999"), 0xFFFFFFFFu);
}

TEST(VersionTest, LauncherConstantsAgree) {
  EXPECT_EQ(VersionFolderName(kLauncherVersionText), kLauncherVersionFolder);
}

}  // namespace
