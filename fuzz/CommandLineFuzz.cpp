// Fuzzes the command-line path end to end: a raw command line is split into arguments, each is read
// as a number, and the switch scan and count reading run over them. Besides the sanitizers' checks,
// the results are compared with simple independent models.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/RunState.h"
#include "display/DeviceSelection.h"
#include "measure/MorvitUtl.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// strtoll-based model of the number syntax: blanks, then [+-]decimal or a hex prefix and digits.
int32_t ModelNumber(const std::string& text, int32_t fallback) {
  size_t i = text.find_first_not_of(' ');
  if (i == std::string::npos) return fallback;
  std::string body = text.substr(i);
  int base = 10;
  if (body[0] == '$' || body[0] == 'x' || body[0] == 'X') {
    body = body.substr(1);
    base = 16;
  } else if (body.size() >= 2 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X')) {
    body = body.substr(2);
    base = 16;
  }
  if (body.empty()) return fallback;
  size_t start = (base == 10 && (body[0] == '+' || body[0] == '-')) ? 1 : 0;
  if (start == body.size()) return fallback;
  for (size_t j = start; j < body.size(); ++j) {
    char c = body[j];
    bool digit = (c >= '0' && c <= '9') || (base == 16 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
    if (!digit) return fallback;
  }
  // Leading zeros can be arbitrarily many; strip them so the conversion cannot overflow on them.
  std::string digits = body.substr(start);
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
  if (digits.size() > 20) return fallback;
  if (base == 16) {
    unsigned long long v = std::strtoull(digits.c_str(), nullptr, 16);
    if (v > 0xFFFFFFFFull) return fallback;
    return static_cast<int32_t>(static_cast<uint32_t>(v));
  }
  long long v = std::strtoll(digits.c_str(), nullptr, 10);
  if (body[0] == '-') v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return fallback;
  return static_cast<int32_t>(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string line(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> words = morvit::SplitCommandLine(line);

  std::vector<std::string> nonEmpty;
  for (const std::string& word : words) {
    Check(word.find('"') == std::string::npos);  // quotes are never part of a word
    Check(word.find('\0') == std::string::npos);
    if (!word.empty()) nonEmpty.push_back(word);
    Check(morvit::ReadNumber(word, -77) == ModelNumber(word, -77));
  }
  // Quoting every word and splitting again gives the same words back (empty ones vanish as "").
  std::string quoted;
  for (const std::string& word : nonEmpty) quoted += "\"" + word + "\" ";
  Check(morvit::SplitCommandLine(quoted) == nonEmpty);

  if (!words.empty()) words.erase(words.begin());
  morvit::SetProgramArguments(words);
  morvit::RunState state;
  std::memset(&state, 0, sizeof state);
  int32_t bltToSysCount = 0;
  morvit::ReadSettings(state, bltToSysCount);
  Check(state.TestCount == ModelNumber(morvit::ParamStr(1), 1000));
  Check(state.ReadCount == ModelNumber(morvit::ParamStr(2), 10));
  Check(bltToSysCount == ModelNumber(morvit::ParamStr(3), 100));
  bool info = false;
  for (int32_t i = 1; i <= morvit::ParamCount(); ++i) info = info || morvit::UpperParam(i) == "/I";
  Check(state.PerfTests == !info);
  (void)morvit::UsageRequested();
  return 0;
}
