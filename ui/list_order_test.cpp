#include "ui/list_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

TEST(ListOrderTest, PunctuationBeforeDigitsBeforeLettersIgnoringCase) {
  std::vector<std::string> lines = {"b", "Quorvex: 12 (10.0.0.20:80)", "A", "Quorvex: 12 (10.0.0.2:80)", "1", " x", "a"};
  std::stable_sort(lines.begin(), lines.end(), ui::ListOrderLess);
  EXPECT_EQ(lines, (std::vector<std::string>{" x", "1", "A", "a", "b", "Quorvex: 12 (10.0.0.2:80)",
                                             "Quorvex: 12 (10.0.0.20:80)"}));
  EXPECT_FALSE(ui::ListOrderLess("abc", "ABC"));
  EXPECT_FALSE(ui::ListOrderLess("ABC", "abc"));
  EXPECT_TRUE(ui::ListOrderLess("ab", "abc"));
}

}  // namespace
