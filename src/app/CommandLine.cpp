#include "app/CommandLine.h"

#include "app/RunState.h"
#include "console/OutputChannel.h"
#include "display/DeviceSelection.h"
#include "measure/MorvitUtl.h"
#include "measure/ProgramArguments.h"

namespace morvit {

namespace {

bool IsSeparator(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ReadHex(std::string_view digits, int32_t& value) {
  if (digits.empty()) return false;
  uint64_t v = 0;
  for (char c : digits) {
    int d = HexDigit(c);
    if (d < 0) return false;
    v = v * 16 + static_cast<uint64_t>(d);
    if (v > 0xFFFFFFFFu) return false;
  }
  value = static_cast<int32_t>(static_cast<uint32_t>(v));
  return true;
}

bool ReadDecimal(std::string_view text, int32_t& value) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > 2147483648LL) return false;
  }
  if (negative) v = -v;
  if (v > 2147483647LL) return false;
  value = static_cast<int32_t>(v);
  return true;
}

constexpr const char* kUsage[] = {
    "MORVIT.EXE [TestCount ReadCount BltToSysCount] [/I] [/W] [/Q] [/Dnum]",
    "TestCount - Count of Tests (default 1000)",
    "ReadCount - Count of Video Memory Read Tests (default 10)",
    "BltToSysCount - Count of Blits to Sytem Memory Tests (default 100)",
    "/I - Info Only, no Perfomance Tests",
    "/W - Wait after every blit in Perfomance Tests",
    "/Q - Use QWord (8 bytes) Read, Write and Copy Routines (legacy FPU assisted)",
    "/D - Select Device Number from enumeration",
    "Any value (like \"x\") except numbers for *Count is default value",
};

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> words;
  size_t i = 0;
  const size_t n = line.size();
  for (;;) {
    while (i < n) {
      if (IsSeparator(line[i])) {
        ++i;
      } else if (line[i] == '"' && i + 1 < n && line[i + 1] == '"') {
        i += 2;
      } else {
        break;
      }
    }
    if (i >= n || line[i] == '\0') break;
    std::string word;
    while (i < n && line[i] != '\0' && !IsSeparator(line[i])) {
      if (line[i] == '"') {
        ++i;
        while (i < n && line[i] != '"' && line[i] != '\0') word += line[i++];
        if (i < n && line[i] == '"') ++i;
      } else {
        word += line[i++];
      }
    }
    words.push_back(std::move(word));
  }
  return words;
}

int32_t ReadNumber(std::string_view text, int32_t fallback) {
  while (!text.empty() && text[0] == ' ') text.remove_prefix(1);
  int32_t value = 0;
  if (!text.empty() && (text[0] == '$' || text[0] == 'x' || text[0] == 'X')) {
    return ReadHex(text.substr(1), value) ? value : fallback;
  }
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    return ReadHex(text.substr(2), value) ? value : fallback;
  }
  return ReadDecimal(text, value) ? value : fallback;
}

void ReadSettings(RunState& state, int32_t& bltToSysCount) {
  state.PerfTests = true;
  state.WaitAfterBlit = false;
  state.QWordRoutines = false;
  DeviceNumber = -1;
  for (int32_t i = 1; i <= ParamCount(); ++i) {
    std::string upper = UpperParam(i);
    if (upper == "/I") {
      state.PerfTests = false;
    } else if (upper == "/W") {
      state.WaitAfterBlit = true;
    } else if (upper == "/Q") {
      state.QWordRoutines = true;
    } else if (upper.compare(0, 2, "/D") == 0) {
      // Only the 100 characters after "/D" count: a longer value is cut there, not refused, and so it
      // may still read as a number.
      std::string typed = ParamStr(i);
      DeviceNumber = ReadNumber(std::string_view(typed).substr(2, 100), -1);
    }
  }
  state.TestCount = ReadNumber(ParamStr(1), 1000);
  state.ReadCount = ReadNumber(ParamStr(2), 10);
  bltToSysCount = ReadNumber(ParamStr(3), 100);
}

bool UsageRequested() { return ParamStr(1) == "/?" || UpperParam(1) == "/H"; }

void WriteUsage() {
  for (const char* line : kUsage) Output().WriteLine(line);
}

}  // namespace morvit
