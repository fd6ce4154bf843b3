#pragma once
// Splitting the raw command line into arguments, reading numbers, and the switch scan.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvit {

struct RunState;

// Words separated by runs of characters 1 to 32. A double quote opens a stretch, up to the next
// double quote or the end, in which separators belong to the word; the quotes are not part of it.
// Two double quotes where a word would begin are skipped like separators. The program's own name is
// the first word.
std::vector<std::string> SplitCommandLine(std::string_view line);

// The value of a decimal ([+-]digits, signed 32-bit range) or hexadecimal ($, x, X, 0x or 0X and
// digits, 32 bits taken as signed) number after optional leading blanks, with nothing following;
// any other text gives the fallback.
int32_t ReadNumber(std::string_view text, int32_t fallback);

// The switch scan and the positional counts, into the run's settings and DeviceNumber.
void ReadSettings(RunState& state, int32_t& bltToSysCount);

// "/?" or "/H" in any letter case as argument 1.
bool UsageRequested();
void WriteUsage();

}  // namespace morvit
