#pragma once
// Utility unit: the program's arguments and their upper-case form, the page buffers, and the transfer
// kernels that are the measured code.

#include <cstdint>
#include <string>
#include <vector>

namespace morvit {

// The longest argument kept; longer ones are cut to this many characters.
constexpr size_t kMaxArgumentLength = 4096;

// The words of the command line after the program's own name, numbered from 1.
void SetProgramArguments(std::vector<std::string> arguments);
int32_t ParamCount();
// The n-th argument, or empty text beyond the last.
std::string ParamStr(int32_t n);
// The n-th argument with a to z turned into A to Z; every other byte unchanged.
std::string UpperParam(int32_t n);

}  // namespace morvit
