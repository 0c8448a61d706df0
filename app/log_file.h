// The log of the last remote launch: a header with the moment of writing and the
// system name, an empty line, then each time-stamped status line the progress
// dialog showed. Each write replaces the file; a failure costs the log, never the
// launch, so nothing is reported.
#pragma once

#include <string>
#include <vector>

#include "app/zk_time.h"

// Written to the current folder: the name carries no folder.
constexpr char kLogFileName[] = "quorvex_start_Log.txt";

// Replaces fileName with the header "MM/DD/YYYY HH:MM:SS Linkwell (systemName)",
// an empty line and logLines, every line ending in "\r\n". Stops silently at the
// first failure; what was written before stays.
void WriteLogFile(const std::string& fileName, const std::string& systemName,
                  const std::vector<std::string>& logLines);

// "HH:MM:SS text": a status line as the progress dialog keeps it.
std::string FormatStatusLine(const CZkTime& time, const std::string& text);
