#include "tools/cli/status_printer.h"

#include <cstdio>

#include "app/log_file.h"
#include "app/zk_time.h"
#include "platform/text_encoding.h"

void PrintStatusLine(const std::string& line) {
  const std::string stamped = platform::Latin1ToUtf8(FormatStatusLine(CZkTime(), line));
  const bool endsLine = !line.empty() && line.back() == '\n';
  std::fputs(stamped.c_str(), stdout);
  if (!endsLine) std::fputc('\n', stdout);
  std::fflush(stdout);
}

void PrintError(const std::string& text) {
  std::fprintf(stderr, "tidewatcher: %s\n", platform::Latin1ToUtf8(text).c_str());
  std::fflush(stderr);
}
