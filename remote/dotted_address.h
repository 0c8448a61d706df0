// Reading IPv4 addresses written as text: "a.b.c.d", optionally after a prefix and
// optionally followed by ":port". The numbers are read the lenient way the
// launcher has always read them: digits up to the first non-digit (none gives 0),
// address numbers cut to 8 bits, so "192.168.1.300" is 192.168.1.44.
#pragma once

#include <cstdint>
#include <string>

// The value of the digits at the start of `text` (0 when there are none), in
// unsigned 32-bit arithmetic, so a long run of digits wraps instead of overflowing.
uint32_t LeadingDecimal(const std::string& text);

// Reads the address, starting right after the first occurrence of `prefix` (at
// the start when the prefix is empty). The first three numbers must each end at a
// "."; without a port output the fourth runs to the first CR, LF or the end. With
// a port output the rest must hold a ":", the fourth number ends there and the
// port follows, up to the first CR, LF or the end. Every output may be null.
bool ParseDottedAddress(const std::string& text, const std::string& prefix, uint8_t* byte1, uint8_t* byte2,
                        uint8_t* byte3, uint8_t* byte4, int32_t* port);
