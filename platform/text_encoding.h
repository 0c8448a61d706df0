// Inside the program text is single-byte, as the system's own protocol carries it:
// Latin-1, except that 0x80-0x9F (control codes in Latin-1, never shown) carry the
// Windows punctuation of those positions (curly quotes, dashes, the euro sign), as
// the system's own code page does. At the edges (argv, environment, the window,
// standard output, JSON) text is UTF-8. These two conversions are the only crossing.
#pragma once

#include <string>

namespace platform {

// UTF-8 to single-byte: code points up to 255 and the Windows punctuation become
// their byte, others (and malformed sequences) become "?".
std::string Utf8ToLatin1(const std::string& utf8);
std::string Latin1ToUtf8(const std::string& latin1);

}  // namespace platform
