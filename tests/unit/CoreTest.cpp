// Splitting the command line, reading numbers and the failure report's full stop.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/CommandLine.h"
#include "console/FailureReport.h"

namespace morvit {
namespace {

using Words = std::vector<std::string>;

TEST(CommandLine, Splitting) {
  const std::pair<const char*, Words> cases[] = {
      {"", {}},
      {"  a\tb\001c\037d  ", {"a", "b", "c", "d"}},
      {"\"Z:\\dir with space\\MORVIT.EXE\" 5", {"Z:\\dir with space\\MORVIT.EXE", "5"}},
      {"a\"b c\"d e", {"ab cd", "e"}},
      {"p \"\" q", {"p", "q"}},
      {"p \"\"\"\" \"\"q", {"p", "q"}},
      {"p \"open to the end", {"p", "open to the end"}},
      {"p a\"\"b", {"p", "ab"}},
      {"p \"5 \" \"  7\"", {"p", "5 ", "  7"}},
      {"p \xE9t\xE9", {"p", "\xE9t\xE9"}},
  };
  for (const auto& [line, words] : cases) EXPECT_EQ(SplitCommandLine(line), words) << line;
}

TEST(CommandLine, Numbers) {
  const std::pair<const char*, int32_t> cases[] = {
      // 7 stands for the default
      {"500", 500},
      {"010", 10},
      {"0", 0},
      {"-5", -5},
      {"+5", 5},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"2147483648", 7},
      {"-2147483649", 7},
      {"   42", 42},
      {"42 ", 7},
      {"\t42", 7},
      {"", 7},
      {"-", 7},
      {"+-1", 7},
      {"1e3", 7},
      {"$10", 16},
      {"x10", 16},
      {"0x10", 16},
      {"  $0010", 16},
      {"$fF", 255},
      {"$80000000", -2147483647 - 1},
      {"$FFFFFFFF", -1},
      {"$000000000FFFFFFFF", -1},
      {"$100000000", 7},
      {"0x", 7},
      {"$-10", 7},
      {"$1G", 7},
      {"00x10", 7},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(ReadNumber(text, 7), value) << text;
}

TEST(FailureReport, FullStop) {
  const std::pair<const char*, const char*> cases[] = {
      {"Lost", "Lost."}, {"Lost.", "Lost."}, {"", ""},  // nothing to end
  };
  for (const auto& [message, shown] : cases) {
    const std::string text = FailureReportText(Failure(kExceptionClass, message, 0));
    EXPECT_EQ(text.substr(text.find('\n') + 1), shown) << '"' << message << '"';
  }
}

}  // namespace
}  // namespace morvit
