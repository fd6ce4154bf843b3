// Fuzzes the command-line path end to end: a raw command line is split into arguments, each is read as a
// number, and the switch scan and count reading run over them. Besides the sanitizers' checks, numbers are
// compared with an independent model and split words with the splitting rules.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>

#include "app/CommandLine.h"
#include "app/RunState.h"
#include "measure/ProgramArguments.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Blanks, then [+-]decimal digits in the signed 32-bit range, or a hexadecimal prefix and digits in 32 bits.
int32_t ModelNumber(const std::string& text, int32_t fallback) {
  static const std::regex form(" *(?:([+-]?)0*([0-9]{1,10})|(?:\\$|x|X|0x|0X)0*([0-9a-fA-F]{1,8}))");
  std::smatch m;
  if (!std::regex_match(text, m, form)) return fallback;
  if (m[3].matched) return static_cast<int32_t>(std::strtoul(m[3].str().c_str(), nullptr, 16));
  const long long value = (m[1] == "-" ? -1 : 1) * std::strtoll(m[2].str().c_str(), nullptr, 10);
  return value < INT32_MIN || value > INT32_MAX ? fallback : static_cast<int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> words = morvit::SplitCommandLine(line), nonEmpty;
  std::string quoted;
  for (const std::string& word : words) {
    // Quotes and separators before the first character are never part of a word.
    Check(word.find('"') == std::string::npos && word.find('\0') == std::string::npos);
    Check(morvit::ReadNumber(word, -77) == ModelNumber(word, -77));
    if (word.empty()) continue;
    nonEmpty.push_back(word);
    quoted += "\"" + word + "\" ";
  }
  // Quoting every word and splitting again gives the same words back (empty ones vanish as "").
  Check(morvit::SplitCommandLine(quoted) == nonEmpty);
  // The switch scan and count reading over the same words, for the sanitizers.
  if (!words.empty()) words.erase(words.begin());
  morvit::SetProgramArguments(words);
  morvit::RunState state;
  std::memset(&state, 0, sizeof state);
  int32_t bltToSysCount = 0;
  morvit::ReadSettings(state, bltToSysCount);
  (void)morvit::UsageRequested();
  return 0;
}
