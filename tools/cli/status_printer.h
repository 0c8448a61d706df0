// The command's output: every status line as "HH:MM:SS line" on standard output,
// at the moment it is posted, in UTF-8.
#pragma once

#include <string>

void PrintStatusLine(const std::string& line);
// "tidewatcher: TEXT" on standard error.
void PrintError(const std::string& text);
