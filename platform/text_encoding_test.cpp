#include "platform/text_encoding.h"

#include <gtest/gtest.h>

namespace {

TEST(TextEncodingTest, Latin1RoundTripsThroughUtf8) {
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(platform::Utf8ToLatin1(platform::Latin1ToUtf8(all)), all);
  EXPECT_EQ(platform::Latin1ToUtf8("caf\xE9"), "caf\xC3\xA9");
}

TEST(TextEncodingTest, WhatLatin1CannotHoldBecomesAQuestionMark) {
  struct Case {
    const char* utf8;
    const char* latin1;
  } cases[] = {
      {"Pool \xE2\x82\xAC", "Pool \x80"},  // euro sign: the Windows position
      {"X\xE2\x80\x99s", "X\x92s"},        // curly apostrophe
      {"\xE2\x82\xB9", "?"},                // rupee sign: no byte for it
      {"a\xF0\x9F\x8C\x8A" "b", "a?b"},    // four-byte sequence
      {"x\xC3", "x?"},                     // cut short
      {"\xC0\x80", "?"},                   // overlong NUL
      {"\x80z", "?z"},                     // stray continuation byte
  };
  for (const Case& c : cases) EXPECT_EQ(platform::Utf8ToLatin1(c.utf8), c.latin1) << c.latin1;
}

}  // namespace
