#pragma once
// Numbers as text: the integer and real field forms of the output channel, the hexadecimal form of
// codes and addresses, and printf-style formatting for messages.

#include <cstdint>
#include <string>

namespace morvit {

// A signed integer in decimal, with a minus sign when negative.
std::string DecimalText(int64_t value);

// The characters of a fixed-point real with the given number of decimals, computed in 80-bit extended
// precision: the magnitude is first rounded to 17 significant decimal places (ties to even), then
// half up to the requested decimals.
std::string RealText(long double value, int32_t decimals);

// Upper-case hexadecimal digits, at least eight: a 32-bit code or address fills them exactly, a 64-bit
// address takes as many more as it needs.
std::string HexText(uint64_t value);

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace morvit
