// The launcher's own options ("/DEMO", "/USER:", "/PASS:") are found by a plain
// substring search of the command line, so they may stand anywhere and in any
// order, and a value runs up to the next "/".
#pragma once

#include <cstddef>
#include <string>

// Room for a value, terminating zero byte included, as the option buffer always had.
constexpr size_t kOptionValueBufferSize = 256;

// True when `option` occurs in `commandLine` (exact, case-sensitive, first
// occurrence). *value gets the characters after it up to the next "/" or the end
// of the line, at most kOptionValueBufferSize - 1 of them, without trailing spaces
// (leading spaces stay). Left empty when the option is absent.
bool FindOption(const std::string& commandLine, const std::string& option, std::string* value);
