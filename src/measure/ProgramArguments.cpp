#include "measure/ProgramArguments.h"

namespace morvit {

namespace {
std::vector<std::string>& Arguments() {
  static std::vector<std::string> arguments;
  return arguments;
}
}  // namespace

void SetProgramArguments(std::vector<std::string> arguments) {
  for (std::string& argument : arguments) {
    if (argument.size() > kMaxArgumentLength) argument.resize(kMaxArgumentLength);
  }
  Arguments() = std::move(arguments);
}

int32_t ParamCount() { return static_cast<int32_t>(Arguments().size()); }

std::string ParamStr(int32_t n) {
  if (n < 1 || n > ParamCount()) return std::string();
  return Arguments()[static_cast<size_t>(n) - 1];
}

}  // namespace morvit
