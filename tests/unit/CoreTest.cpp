// Splitting the command line, reading numbers and settings, and the transfer kernels, as tables.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/CommandLine.h"
#include "app/RunState.h"
#include "display/DeviceSelection.h"
#include "measure/MorvitUtl.h"
#include "platform/Fpu.h"
#include "platform/Platform.h"

namespace morvit {
namespace {

using Words = std::vector<std::string>;

TEST(CommandLine, Splitting) {
  const std::pair<const char*, Words> cases[] = {
      {"", {}}, {"  a\tb\x01" "c\x1f" "d  ", {"a", "b", "c", "d"}},
      {"\"Z:\\dir with space\\MORVIT.EXE\" 5", {"Z:\\dir with space\\MORVIT.EXE", "5"}},
      {"a\"b c\"d e", {"ab cd", "e"}}, {"p \"\" q", {"p", "q"}}, {"p \"\"\"\" \"\"q", {"p", "q"}},
      {"p \"open to the end", {"p", "open to the end"}}, {"p a\"\"b", {"p", "ab"}},
      {"p \"5 \" \"  7\"", {"p", "5 ", "  7"}}, {"p \xE9t\xE9", {"p", "\xE9t\xE9"}},
  };
  for (const auto& [line, words] : cases) EXPECT_EQ(SplitCommandLine(line), words) << line;
}

TEST(CommandLine, Numbers) {
  const std::pair<const char*, int32_t> cases[] = {  // 7 stands for the default
      {"500", 500}, {"010", 10}, {"0", 0}, {"-5", -5}, {"+5", 5}, {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1}, {"2147483648", 7}, {"-2147483649", 7}, {"99999999999999999999", 7},
      {"   42", 42}, {"42 ", 7}, {"\t42", 7}, {"", 7}, {"   ", 7}, {"-", 7}, {"+-1", 7}, {"x", 7}, {"1e3", 7},
      {"$10", 16}, {"x10", 16}, {"X10", 16}, {"0x10", 16}, {"0X10", 16}, {"  $0010", 16}, {"$fF", 255},
      {"$80000000", -2147483647 - 1}, {"$FFFFFFFF", -1}, {"$000000000FFFFFFFF", -1}, {"$100000000", 7},
      {"$", 7}, {"0x", 7}, {"-$10", 7}, {"$-10", 7}, {"$1G", 7}, {"00x10", 7},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(ReadNumber(text, 7), value) << text;
}

TEST(CommandLine, Settings) {
  // TestCount, ReadCount, BltToSysCount, DeviceNumber and the switches /I /W /Q as set (1) or not (0).
  const std::pair<Words, const char*> cases[] = {
      {{}, "1000 10 100 -1 000"}, {{"/i", "500", "/w", "/Q"}, "1000 500 100 -1 111"}, {{"500", "/I"}, "500 10 100 -1 100"},
      {{"/I2", "/Ix", "/", "/H", "/?", "/W ", "/d2"}, "1000 10 100 2 000"}, {{"1", "2", "3", "4"}, "1 2 3 -1 000"},
      {{"x", "$10", "-3", "/D"}, "1000 16 -3 -1 000"}, {{"5 ", "  5", "/Dx"}, "1000 5 100 -1 000"},
      {{"/D1", "/D3"}, "1000 10 100 3 000"}, {{"/D$a"}, "1000 10 100 10 000"},
      {{"/D" + std::string(99, '0') + "7"}, "1000 10 100 7 000"}, {{"/D" + std::string(100, '0') + "7"}, "1000 10 100 0 000"}};
  for (const auto& [arguments, settings] : cases) {
    SetProgramArguments(arguments);
    RunState s;
    std::memset(&s, 0xFF, sizeof s);
    int32_t blt = 0;
    ReadSettings(s, blt);
    EXPECT_EQ(std::to_string(s.TestCount) + " " + std::to_string(s.ReadCount) + " " + std::to_string(blt) + " " +
                  std::to_string(DeviceNumber) + " " + char('0' + !s.PerfTests) + char('0' + s.WaitAfterBlit) +
                  char('0' + s.QWordRoutines), settings) << ::testing::PrintToString(arguments);
  }
  SetProgramArguments({"ab\xE9z/", std::string(5000, 'q')});
  EXPECT_EQ(UpperParam(1) + UpperParam(3), "AB\xE9Z/");
  EXPECT_EQ(ParamStr(2).size(), kMaxArgumentLength);
}

TEST(Kernels, MoveExactlyTheirElements) {
  constexpr uint32_t kGuard = 0xA5C3E10Fu;
  // Each case: the kernel over 38 words with two guard words on each side (source: words i * 0x01010101 + 1;
  // destination: the guard value), and how many destination words it must change.
  const std::pair<void (*)(uint32_t*, uint32_t*), int> cases[] = {
      {[](uint32_t* s, uint32_t*) { ReadDWords(s, 38); }, 0},
      {[](uint32_t*, uint32_t* d) { WriteDWords(d, 37, 0xDEADBEEFu); }, 37},
      {[](uint32_t* s, uint32_t* d) { CopyDWords(s, d, 37); }, 37},
      {[](uint32_t* s, uint32_t*) { ReadQWords(s, 19); }, 0},
      {[](uint32_t*, uint32_t* d) { WriteQWords(d, 18, static_cast<int64_t>(0xDEADBEEFDEADBEEFull)); }, 36},
      {[](uint32_t* s, uint32_t* d) { CopyQWords(s, d, 18); }, 36},
      {[](uint32_t* s, uint32_t* d) { CopyQWords(s, d, 0), WriteQWords(d, 0, 0), ReadQWords(nullptr, 0); }, 0},
  };
  platform::FaultConversion faultConversion;
  platform::LoadControlWord(platform::kProgramControlWord);
  for (size_t n = 0; n < std::size(cases); ++n) {
    alignas(8) uint32_t source[42], original[42], destination[42];
    for (uint32_t i = 0; i < 42; ++i) source[i] = i * 0x01010101u + 1, destination[i] = kGuard;
    source[10] = 1, source[11] = 0x7FF00000u, source[13] = 0xFFF80000u;  // NaNs as doubles move exactly
    std::memcpy(original, source, sizeof source);
    cases[n].first(source + 2, destination + 2);
    for (int i = 0; i < 42; ++i) {
      const bool changed = i >= 2 && i < 2 + cases[n].second;
      const uint32_t fill = n == 2 || n == 5 ? source[i] : 0xDEADBEEFu;
      ASSERT_EQ(destination[i], changed ? fill : kGuard) << "kernel " << n << " word " << i;
      ASSERT_EQ(source[i], original[i]) << "kernel " << n << " word " << i;
    }
    uint16_t environment[14];
    uintptr_t flags;
    asm volatile("fnstenv %0\n\tfldenv %0" : "=m"(environment));
    asm volatile("pushf\n\tpop %0" : "=r"(flags));
    EXPECT_EQ(environment[4], 0xFFFF) << "kernel " << n << " leaves the x87 register stack empty";
    EXPECT_EQ(flags & 0x400, 0u) << "kernel " << n << " leaves the direction flag clear";
  }
}

}  // namespace
}  // namespace morvit
