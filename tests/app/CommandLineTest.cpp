#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <cstring>

#include "app/RunState.h"
#include "display/DeviceSelection.h"
#include "measure/MorvitUtl.h"

namespace morvit {
namespace {

using Words = std::vector<std::string>;

TEST(SplitCommandLine, SeparatorsAndQuotes) {
  EXPECT_EQ(SplitCommandLine(""), Words{});
  EXPECT_EQ(SplitCommandLine("MORVIT.EXE"), Words{"MORVIT.EXE"});
  EXPECT_EQ(SplitCommandLine("  a\tb\x01" "c\x1f" "d  "), (Words{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitCommandLine("\"Z:\\dir with space\\MORVIT.EXE\" 5"), (Words{"Z:\\dir with space\\MORVIT.EXE", "5"}));
  EXPECT_EQ(SplitCommandLine("a\"b c\"d e"), (Words{"ab cd", "e"}));
  EXPECT_EQ(SplitCommandLine("p \"\" q"), (Words{"p", "q"})) << "an empty quoted word is no argument";
  EXPECT_EQ(SplitCommandLine("p \"\"\"\" \"\"q"), (Words{"p", "q"}));
  EXPECT_EQ(SplitCommandLine("p \"open to the end"), (Words{"p", "open to the end"}));
  EXPECT_EQ(SplitCommandLine("p a\"\"b"), (Words{"p", "ab"}));
  EXPECT_EQ(SplitCommandLine("p \"5 \" \"  7\""), (Words{"p", "5 ", "  7"}));
  EXPECT_EQ(SplitCommandLine("p \xE9t\xE9"), (Words{"p", "\xE9t\xE9"})) << "bytes above 127 are no separators";
}

TEST(ReadNumber, Decimal) {
  EXPECT_EQ(ReadNumber("500", 7), 500);
  EXPECT_EQ(ReadNumber("010", 7), 10);
  EXPECT_EQ(ReadNumber("0", 7), 0);
  EXPECT_EQ(ReadNumber("-5", 7), -5);
  EXPECT_EQ(ReadNumber("+5", 7), 5);
  EXPECT_EQ(ReadNumber("2147483647", 7), 2147483647);
  EXPECT_EQ(ReadNumber("-2147483648", 7), -2147483647 - 1);
  EXPECT_EQ(ReadNumber("2147483648", 7), 7);
  EXPECT_EQ(ReadNumber("-2147483649", 7), 7);
  EXPECT_EQ(ReadNumber("99999999999999999999", 7), 7);
  EXPECT_EQ(ReadNumber("   42", 7), 42) << "leading blanks are allowed";
  EXPECT_EQ(ReadNumber("42 ", 7), 7) << "nothing may follow";
  EXPECT_EQ(ReadNumber("\t42", 7), 7) << "only code 32 counts as blank";
  EXPECT_EQ(ReadNumber("", 7), 7);
  EXPECT_EQ(ReadNumber("   ", 7), 7);
  EXPECT_EQ(ReadNumber("-", 7), 7);
  EXPECT_EQ(ReadNumber("+-1", 7), 7);
  EXPECT_EQ(ReadNumber("x", 7), 7);
  EXPECT_EQ(ReadNumber("1e3", 7), 7);
}

TEST(ReadNumber, Hexadecimal) {
  for (const char* text : {"$10", "x10", "X10", "0x10", "0X10", "$0010", "  $10"}) EXPECT_EQ(ReadNumber(text, 7), 16) << text;
  EXPECT_EQ(ReadNumber("$fF", 7), 255);
  EXPECT_EQ(ReadNumber("$7FFFFFFF", 7), 2147483647);
  EXPECT_EQ(ReadNumber("$80000000", 7), -2147483647 - 1) << "32-bit pattern taken as signed";
  EXPECT_EQ(ReadNumber("$FFFFFFFF", 7), -1);
  EXPECT_EQ(ReadNumber("$000000000FFFFFFFF", 7), -1) << "leading zeros are free";
  EXPECT_EQ(ReadNumber("$100000000", 7), 7);
  EXPECT_EQ(ReadNumber("$", 7), 7);
  EXPECT_EQ(ReadNumber("0x", 7), 7);
  EXPECT_EQ(ReadNumber("-$10", 7), 7) << "no sign before the prefix";
  EXPECT_EQ(ReadNumber("$-10", 7), 7);
  EXPECT_EQ(ReadNumber("$1G", 7), 7);
  EXPECT_EQ(ReadNumber("00x10", 7), 7);
}

struct Settings {
  RunState state;
  int32_t bltToSysCount;
};

Settings Read(Words arguments) {
  SetProgramArguments(std::move(arguments));
  Settings s;
  std::memset(&s.state, 0, sizeof s.state);
  s.bltToSysCount = 0;
  DeviceNumber = 99;
  ReadSettings(s.state, s.bltToSysCount);
  return s;
}

TEST(ReadSettings, Defaults) {
  Settings s = Read({});
  EXPECT_EQ(s.state.TestCount, 1000);
  EXPECT_EQ(s.state.ReadCount, 10);
  EXPECT_EQ(s.bltToSysCount, 100);
  EXPECT_TRUE(s.state.PerfTests);
  EXPECT_FALSE(s.state.WaitAfterBlit);
  EXPECT_FALSE(s.state.QWordRoutines);
  EXPECT_EQ(DeviceNumber, -1);
}

TEST(ReadSettings, SwitchesInAnyCaseAndPosition) {
  Settings s = Read({"/i", "500", "/w", "/Q"});
  EXPECT_FALSE(s.state.PerfTests);
  EXPECT_TRUE(s.state.WaitAfterBlit);
  EXPECT_TRUE(s.state.QWordRoutines);
  EXPECT_EQ(s.state.TestCount, 1000) << "a switch at position 1 is no number";
  EXPECT_EQ(s.state.ReadCount, 500);
  EXPECT_EQ(s.bltToSysCount, 100);

  s = Read({"500", "/I"});
  EXPECT_EQ(s.state.TestCount, 500);
  EXPECT_EQ(s.state.ReadCount, 10);
  EXPECT_FALSE(s.state.PerfTests);

  s = Read({"/I2", "/Ix", "/", "/H", "/?"});
  EXPECT_TRUE(s.state.PerfTests) << "whole texts are compared";
}

TEST(ReadSettings, PositionalCountsOnlyFromTheFirstThree) {
  Settings s = Read({"1", "2", "3", "4"});
  EXPECT_EQ(s.state.TestCount, 1);
  EXPECT_EQ(s.state.ReadCount, 2);
  EXPECT_EQ(s.bltToSysCount, 3);
  s = Read({"x", "$10", "-3"});
  EXPECT_EQ(s.state.TestCount, 1000);
  EXPECT_EQ(s.state.ReadCount, 16);
  EXPECT_EQ(s.bltToSysCount, -3);
  s = Read({"5 ", "  5"});
  EXPECT_EQ(s.state.TestCount, 1000) << "a trailing blank gives the default";
  EXPECT_EQ(s.state.ReadCount, 5) << "leading blanks are read";
}

TEST(ReadSettings, DeviceNumber) {
  Read({"/d2"});
  EXPECT_EQ(DeviceNumber, 2);
  Read({"/D"});
  EXPECT_EQ(DeviceNumber, -1);
  Read({"/Dx"});
  EXPECT_EQ(DeviceNumber, -1);
  Read({"/D1", "/D3"});
  EXPECT_EQ(DeviceNumber, 3) << "a later /D replaces an earlier one";
  Read({"/D$a"});
  EXPECT_EQ(DeviceNumber, 10) << "read as typed, not upper-cased";
  Read({"/Dx1f"});
  EXPECT_EQ(DeviceNumber, 31);
  Read({"/D-1"});
  EXPECT_EQ(DeviceNumber, -1);
  Read({"/D" + std::string(99, '0') + "7"});
  EXPECT_EQ(DeviceNumber, 7) << "characters 3 to 102";
  Read({"/D" + std::string(100, '0') + "7"});
  EXPECT_EQ(DeviceNumber, 0) << "the 103rd character is not read";
}

TEST(Usage, OnlyArgumentOneAsked) {
  SetProgramArguments({"/?"});
  EXPECT_TRUE(UsageRequested());
  SetProgramArguments({"/h"});
  EXPECT_TRUE(UsageRequested());
  SetProgramArguments({"/H", "5"});
  EXPECT_TRUE(UsageRequested());
  SetProgramArguments({"/?x"});
  EXPECT_FALSE(UsageRequested());
  SetProgramArguments({"5", "/?"});
  EXPECT_FALSE(UsageRequested());
  SetProgramArguments({});
  EXPECT_FALSE(UsageRequested());
}

TEST(Arguments, UpperParamAndLimits) {
  SetProgramArguments({"ab\xE9z/", std::string(5000, 'q')});
  EXPECT_EQ(UpperParam(1), "AB\xE9Z/") << "only a to z change";
  EXPECT_EQ(ParamStr(2).size(), kMaxArgumentLength);
  EXPECT_EQ(ParamStr(3), "");
  EXPECT_EQ(ParamStr(0), "");
  EXPECT_EQ(ParamStr(-1), "");
}

}  // namespace
}  // namespace morvit
