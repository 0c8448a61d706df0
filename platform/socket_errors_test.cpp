#include "platform/socket_errors.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>
#include <set>
#include <string>

namespace {

TEST(SocketErrorTextTest, KnowsEightyNineCodesAndEightyEightTexts) {
  std::set<int> codes;
  std::set<std::string> texts;
  for (int code = 0; code < 12000; ++code) {
    const std::string text = SocketErrorText(code);
    if (text == "Unknown.") continue;
    codes.insert(code);
    texts.insert(text);
  }
  EXPECT_EQ(codes.size(), 89u);
  EXPECT_EQ(texts.size(), 88u);
  EXPECT_STREQ(SocketErrorText(10102), SocketErrorText(10110));
}

TEST(SocketErrorTextTest, SampleRows) {
  struct Case {
    int code;
    const char* text;
  } cases[] = {
      {10004, "Interrupted function call."},
      {10035, "Resource temporarily unavailable."},
      {10061, "Connection refused."},
      {10060, "Connection timed out."},
      {11001, "Host not found."},
      {11031, "Reserved policy QOS element type."},
      {0, "Unknown."},
      {10000, "Unknown."},
  };
  for (const Case& c : cases) EXPECT_STREQ(SocketErrorText(c.code), c.text) << c.code;
}

TEST(ErrorMappingTest, ErrnoAndResolverFailuresBecomeWindowsSocketsCodes) {
  struct Case {
    int errnoValue, code;
  } cases[] = {
      {EINTR, 10004},       {EBADF, 10009},        {EACCES, 10013},       {EINVAL, 10022},
      {EMFILE, 10024},      {EWOULDBLOCK, 10035},  {EAGAIN, 10035},       {EINPROGRESS, 10036},
      {EALREADY, 10037},    {ENOTSOCK, 10038},     {EADDRINUSE, 10048},   {ECONNRESET, 10054},
      {ETIMEDOUT, 10060},   {ECONNREFUSED, 10061}, {EHOSTUNREACH, 10065}, {ENETUNREACH, 10051},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::WsaErrorFromErrno(c.errnoValue), c.code) << c.errnoValue;

  EXPECT_EQ(platform::WsaErrorFromResolver(EAI_NONAME, 0), 11001);
  EXPECT_EQ(platform::WsaErrorFromResolver(EAI_AGAIN, 0), 11002);
  EXPECT_EQ(platform::WsaErrorFromResolver(EAI_FAIL, 0), 11003);
  EXPECT_EQ(platform::WsaErrorFromResolver(EAI_SYSTEM, ECONNREFUSED), 10061);
}

}  // namespace
