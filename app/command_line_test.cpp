#include "app/command_line.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct OptionCase {
  const char* name;
  std::string commandLine;
  const char* option;
  bool found;
  std::string value;
};

// Printed as its label, so test names stay readable in test listings.
void PrintTo(const OptionCase& c, std::ostream* out) { *out << c.name; }

class FindOptionTest : public ::testing::TestWithParam<OptionCase> {};

TEST_P(FindOptionTest, FindsValue) {
  const OptionCase& c = GetParam();
  std::string value = "stale";
  EXPECT_EQ(FindOption(c.commandLine, c.option, &value), c.found);
  EXPECT_EQ(value, c.value);
}

const std::string kLong300(300, 'x');

INSTANTIATE_TEST_SUITE_P(
    Cases, FindOptionTest,
    ::testing::Values(
        OptionCase{"UserBeforePass", "/USER:Quorvex: 12-34-56 /PASS:secret", "/USER:", true,
                   "Quorvex: 12-34-56"},
        OptionCase{"PassAfterUser", "/USER:Quorvex: 12-34-56 /PASS:secret", "/PASS:", true,
                   "secret"},
        OptionCase{"SlashEndsValue", "/PASS:se/cret", "/PASS:", true, "se"},
        OptionCase{"LeadingSpacesStay", "/USER:  name  ", "/USER:", true, "  name"},
        OptionCase{"OnlyBlanksTabStays", "/USER:\t ", "/USER:", true, "\t"},
        OptionCase{"LowerCaseIsAnotherOption", "/demo", "/DEMO", false, ""},
        OptionCase{"SubstringCounts", "/DEMONSTRATION", "/DEMO", true, "NSTRATION"},
        OptionCase{"NotOnlyAtWordStart", "x/DEMO", "/DEMO", true, ""},
        OptionCase{"EmptyValue", "/USER: /PASS:p", "/USER:", true, ""},
        OptionCase{"EmptyAtEnd", "/USER:", "/USER:", true, ""},
        OptionCase{"FirstOccurrenceCounts", "/USER:one /USER:two", "/USER:", true, "one"},
        OptionCase{"Absent", "/PASS:p", "/USER:", false, ""},
        OptionCase{"EmptyLine", "", "/DEMO", false, ""},
        OptionCase{"LongValueCutTo255", "/PASS:" + kLong300, "/PASS:", true,
                   std::string(255, 'x')},
        OptionCase{"CutThenTrimmed", "/PASS:" + std::string(254, 'x') + "  yy", "/PASS:", true,
                   std::string(254, 'x')},
        OptionCase{"ZeroByteEndsLine", std::string("/PASS:ab\0cd", 11), "/PASS:", true, "ab"}),
    [](const ::testing::TestParamInfo<OptionCase>& param) { return param.param.name; });

}  // namespace
