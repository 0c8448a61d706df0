#include "tools/client/client_report.h"

#include <cstdio>

#include "platform/files.h"

namespace {

constexpr char kPrefix[] = "tidewatcher-client: ";

}  // namespace

void ClientReport::Line(const std::string& text) const {
  const std::string line = kPrefix + text + "\n";
  std::fputs(line.c_str(), stdout);
  std::fflush(stdout);
  Append(line);
}

void ClientReport::Error(const std::string& text) const {
  const std::string line = kPrefix + text + "\n";
  std::fputs(line.c_str(), stderr);
  Append(line);
}

void ClientReport::Append(const std::string& line) const {
  if (reportPath_.empty()) return;
  const platform::FileHandle file = platform::OpenFile(reportPath_, platform::FileOpenMode::kOpenAppend, false);
  if (file == platform::kInvalidFile) return;
  int written = 0;
  platform::WriteFile(file, line.data(), static_cast<int>(line.size()), &written);
  platform::CloseFile(file);
}
