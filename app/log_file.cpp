#include "app/log_file.h"

#include <cstdio>

#include "app/zk_file.h"

namespace {

constexpr char kLineEnd[] = "\r\n";

std::string FormatHeader(const CZkTime& time, const std::string& systemName) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%02d/%02d/%4d %02d:%02d:%02d", time.GetMonth(),
                time.GetDay(), time.GetYear(), time.GetHour(), time.GetMinute(),
                time.GetSecond());
  return std::string(stamp) + " Linkwell (" + systemName + ")" + kLineEnd + kLineEnd;
}

bool WriteText(CZkFile* file, const std::string& text) {
  return file->Write(text.data(), static_cast<int>(text.size()));
}

}  // namespace

void WriteLogFile(const std::string& fileName, const std::string& systemName,
                  const std::vector<std::string>& logLines) {
  CZkFile file(fileName);
  if (!file.Open(CZkFile::modeCreate, CZkFile::shareNone)) return;
  if (!WriteText(&file, FormatHeader(CZkTime(), systemName))) return;
  for (const std::string& line : logLines) {
    if (!WriteText(&file, line + kLineEnd)) return;
  }
}

std::string FormatStatusLine(const CZkTime& time, const std::string& text) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d ", time.GetHour(), time.GetMinute(),
                time.GetSecond());
  return stamp + text;
}
