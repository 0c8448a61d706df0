// Where the client's lines go. Each line is "tidewatcher-client: TEXT", UTF-8:
// results on standard output, flushed at once so a script or a test sees them
// while the client still runs, errors on standard error. When
// TIDEWATCHER_CLIENT_REPORT names a file, every line is appended to it as well,
// for the cases where nobody can read the client's output (a launcher started it).
// The file is opened for each line and closed again, so the report never holds a
// descriptor of its own.
#pragma once

#include <string>
#include <utility>

class ClientReport {
 public:
  static constexpr char kReportVariable[] = "TIDEWATCHER_CLIENT_REPORT";

  // `reportPath` empty: no file.
  explicit ClientReport(std::string reportPath) : reportPath_(std::move(reportPath)) {}

  // `text` is UTF-8.
  void Line(const std::string& text) const;
  void Error(const std::string& text) const;

 private:
  void Append(const std::string& line) const;

  std::string reportPath_;
};
