#pragma once
// The program's arguments: the words of the command line after the program's own name, numbered from 1,
// set once by the entry point and read by the command-line reading and UpperParam (MorvitUtl).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace morvit {

// The longest argument kept; longer ones are cut to this many characters.
constexpr size_t kMaxArgumentLength = 4096;

void SetProgramArguments(std::vector<std::string> arguments);
int32_t ParamCount();
// The n-th argument, or empty text beyond the last.
std::string ParamStr(int32_t n);

}  // namespace morvit
