// Inside the program text is single-byte Latin-1, as the system's own protocol
// carries it. At the edges (argv, environment, the window, standard output, JSON)
// it is UTF-8. These two conversions are the only crossing.
#pragma once

#include <string>

namespace platform {

// UTF-8 to Latin-1: code points up to 255 become that byte, others (and malformed
// sequences) become "?".
std::string Utf8ToLatin1(const std::string& utf8);
std::string Latin1ToUtf8(const std::string& latin1);

}  // namespace platform
