// The output channel, its field formats, the report line and the result texts, over a standard output
// and a counter supplied through the platform layer.
#include <gtest/gtest.h>

#include <functional>
#include <variant>
#include <vector>

#include "app/RunState.h"
#include "console/FailureReport.h"
#include "console/OutputChannel.h"
#include "measure/TimedSection.h"
#include "platform/Fpu.h"
#include "unit/FakePlatform.h"

namespace morvit {
namespace {

using platform::StreamKind;

// What reached the platform: the bytes written, and the write sizes with counter reads among them
// ("44 r r 80"). The write numbered failWrite fails with error 112 (disk full).
struct Captured {
  StreamKind kind;
  std::string text, events;
  size_t writes, failWrite;
  std::vector<int64_t> counter;
} captured;

// Runs step on a fresh channel over that standard output; returns what it raised ("Class: message").
std::string Capture(StreamKind kind, const std::function<void(OutputChannel&)>& step) {
  captured = Captured{kind, "", "", 0, 0, {}};
  FakePlatform fake;
  fake.Services().openStandardOutput = [] { return platform::StandardOutput{true, captured.kind}; };
  fake.Services().writeStandardOutput = [](const char* bytes, size_t count) {
    captured.events += std::to_string(count) + " ";
    if (++captured.writes == captured.failWrite) return 112;
    captured.text.append(bytes, count);
    return 0;
  };
  fake.Services().queryCounter = [] {
    captured.events += "r ";
    if (captured.counter.empty()) return int64_t{0};
    const int64_t value = captured.counter.front();
    captured.counter.erase(captured.counter.begin());
    return value;
  };
  std::string raised = Raised([&] { step(Output()); });
  Output().FlushAtExit();
  return raised;
}

// A case's calls on the channel, in order: texts, characters, and the calls that end and check statements.
enum Control { EndLine, EndStatement, CheckOutput, EndStatementAndCheck };
using Step = std::variant<std::string, char, Control>;
template <typename... Parts>
std::vector<Step> Steps(Parts... parts) {
  return {Step(parts)...};
}

void Perform(OutputChannel& out, const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    if (const auto* text = std::get_if<std::string>(&step)) out.WriteText(*text);
    if (const auto* c = std::get_if<char>(&step)) out.WriteChar(*c);
    if (step == Step(EndLine)) out.EndLine();
    if (step == Step(EndStatement)) out.EndStatement();
    if (step == Step(CheckOutput)) out.CheckOutput();
    if (step == Step(EndStatementAndCheck)) out.EndStatementAndCheck();
  }
}

std::string Written(const std::function<void(OutputChannel&)>& write) {
  Capture(StreamKind::Disk, write);
  return captured.text;
}

TEST(Output, RealFields) {
  const struct {
    const char* name;
    double value;
    int32_t width, decimals;
    std::string written;
  } cases[] = {
      {"a carry runs through the nines into a new digit", 9.99996, 8, 4, " 10.0000"},
      {"half up at the 5th decimal of the value in 17 places, not of the double below it", 0.00015, 8, 4, "  0.0002"},
      {"a double below the half by more than the 17 places rounds down", 2.00005, 8, 4, "  2.0000"},
      {"negative zero keeps its sign", -0.0, 8, 4, " -0.0000"},
      {"a negative value that rounds to zero keeps its sign", -0.00001, 8, 4, " -0.0000"},
      {"no decimals: no point, and half up", 12.5, 0, 0, "13"},
      {"zeros follow the 19 digits of a large value", 1e20, 0, 2, "100000000000000000000.00"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Written([&](auto& out) { out.WriteReal(c.value, c.width, c.decimals); }), c.written) << c.name;
}

// Only a real's field stops at 255 characters, and only its decimals at 216: every other kind of item is
// padded to any width; no field cuts its item.
TEST(FieldWidths, EachLimitHoldsForItsOwnKind) {
  const std::string pad296(296, ' ');
  const struct {
    const char* name;
    std::function<void(OutputChannel&)> write;
    std::string written;
  } cases[] = {
      {"text", [](OutputChannel& out) { out.WriteText("abcd", 300); }, pad296 + "abcd"},
      {"zero-terminated text", [](OutputChannel& out) { out.WriteZText("abcd", 300); }, pad296 + "abcd"},
      {"character", [](OutputChannel& out) { out.WriteChar('a', 300); }, std::string(299, ' ') + "a"},
      {"Boolean", [](OutputChannel& out) { out.WriteBool(true, 300); }, pad296 + "TRUE"},
      {"32-bit integer", [](OutputChannel& out) { out.WriteInt(1234, 300); }, pad296 + "1234"},
      {"64-bit integer", [](OutputChannel& out) { out.WriteInt64(1234, 300); }, pad296 + "1234"},
      {"real: the width counts as 255", [](OutputChannel& out) { out.WriteReal(1.5, 300, 2); },
       std::string(251, ' ') + "1.50"},
      {"real: a width of 230 is kept", [](OutputChannel& out) { out.WriteReal(1.5, 230, 2); },
       std::string(226, ' ') + "1.50"},
      {"real: 300 decimals count as 216", [](OutputChannel& out) { out.WriteReal(1.5, 0, 300); },
       "1.5" + std::string(215, '0')},
      {"a narrower field cuts nothing", [](OutputChannel& out) { out.WriteText("abc", 2); }, "abc"},
      {"a negative width is no field", [](OutputChannel& out) { out.WriteText("abc", -3); }, "abc"},
      {"a zero ends zero-terminated text", [](OutputChannel& out) { out.WriteZText("ab\0cd", 3); }, " ab"},
      {"the lowest 64-bit integer, in full", [](OutputChannel& out) { out.WriteInt64(INT64_MIN); },
       "-9223372036854775808"},
  };
  for (const auto& c : cases) EXPECT_EQ(Written(c.write), c.written) << c.name;
}

TEST(Output, WritesAndErrors) {
  const struct {
    const char* name;
    StreamKind kind;
    size_t failWrite;              // 0: none
    std::vector<Step> statements;  // then a CheckOutput
    const char* writes;
    std::string text;
    const char* raised;
  } cases[] = {
      {"a file gets 128-byte blocks, and the rest at the end", StreamKind::Disk, 0,
       Steps("short", EndLine, std::string(300, 'x')), "128 128 51 ", "short\r\n" + std::string(300, 'x'), ""},
      {"a full buffer goes out when more comes: that statement meets its error and loses its item", StreamKind::Pipe, 1,
       Steps(std::string(126, 'a'), EndLine, CheckOutput, 'b', EndLine), "128 2 ", "\r\n",
       "EInOutError: I/O error 112"},
      {"a failed write drops the rest of its item, not the next item", StreamKind::Disk, 1,
       Steps(std::string(200, 'a'), "next", EndLine), "128 6 ", "next\r\n", "EInOutError: I/O error 112"},
      {"a checked statement end raises its error at once, before the next statement", StreamKind::Character, 1,
       Steps("label ", EndStatementAndCheck, "rest", EndLine), "6 ", "", "EInOutError: I/O error 112"},
      {"an output of unknown kind stays closed: 103 at the statement end", StreamKind::Unknown, 0,
       Steps("lost", EndLine), "", "", "EInOutError: I/O error 103"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string raised = Capture(c.kind, [&](OutputChannel& out) {
      captured.failWrite = c.failWrite;
      Perform(out, c.statements);
      out.CheckOutput();
    });
    EXPECT_EQ(raised, c.raised);
    EXPECT_EQ(captured.events, c.writes) << "the platform writes";
    EXPECT_EQ(captured.text, c.text) << "the text that reached the platform";
  }
}

TEST(TimedSection, ReportLines) {
  const std::string warning =
      " ! Warning: Time less than 0.5 second, try to increase Test Surface Size or/and TestCount\r\n";
  const char* zeroDivide = "EZeroDivide: Floating point division by zero";
  const char* invalidOp = "EInvalidOp: Invalid floating point operation";
  const struct {
    const char* name;
    int64_t frequency;
    uint32_t dwords;
    int32_t passes;
    int64_t start, stop;
    size_t failWrite;  // 0: none
    std::string line;  // after the label
    const char* raised;
  } cases[] = {
      {"half a second", 10000000, 786432, 1000, 1000, 5001000, 0, "  0.5000   6291456000   6291M   6G\r\n", ""},
      {"a tick less prints 0.5000 too, and the warning", 10000000, 786432, 1000, 1000, 5000999, 0,
       "  0.5000   6291457258   6291M   6G\r\n" + warning, ""},
      {"a failed write of the line is raised at the line, before the warning", 10000000, 786432, 1000, 1000, 5000999, 2,
       "", "EInOutError: I/O error 112"},
      {"one pass is counted in 32 bits", 1, 0x20000000, 1, 0, 1, 0, "  1.0000  -2147483648  -2147M  -2G\r\n", ""},
      {"the rate is truncated, not rounded", 1, 7, 1, 0, 8, 0, "  8.0000            3      0M   0G\r\n", ""},
      {"megabytes round half up", 1, 375000, 1, 0, 1, 0, "  1.0000      1500000      2M   0G\r\n", ""},
      {"just below half a megabyte rounds down", 1, 374999, 1, 0, 1, 0, "  1.0000      1499996      1M   0G\r\n", ""},
      {"gigabytes round half up", 1, 125000000, 5, 0, 1, 0, "  1.0000   2500000000   2500M   3G\r\n", ""},
      {"a negative count's megabytes are truncated toward zero", 1, 425000, -1, 0, 1, 0,
       "  1.0000     -1700000     -1M   0G\r\n", ""},
      {"a time wider than its field", 10, 250, 1000, 0, 10000, 0, "1000.0000         1000      0M   0G\r\n", ""},
      {"no tick between the counter reads", 10000000, 786432, 1000, 77, 77, 0, "", zeroDivide},
      {"no counter frequency", 0, 1, 1, 0, 5, 0, "", zeroDivide},
      {"a rate beyond 64 bits", 1000000000000000000, 1000, 1000, 0, 1, 0, "", invalidOp},
  };
  InstallFailureHandlers();
  platform::FaultConversion faultConversion;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RunState state{};
    state.Frequency = c.frequency;
    state.DwordCount = c.dwords;
    state.TimeWarningPending = true;
    platform::LoadControlWord(platform::kProgramControlWord);
    const std::string raised = Capture(StreamKind::Character, [&](OutputChannel&) {
      captured.counter = {c.start, c.stop};
      captured.failWrite = c.failWrite;
      BeginTest(state, "SysMem Read");
      EndTest(state, c.passes);
    });
    EXPECT_EQ(raised, c.raised);
    EXPECT_EQ(captured.text, "SysMem Read (Secs, Bytes/s):                " + c.line);
    // On a console the label is written before the start counter is read, the line after the stop.
    EXPECT_EQ(captured.events.substr(0, 7), "44 r r ");
    EXPECT_EQ(platform::StoreControlWord() & ~0x40, platform::kProgramControlWord) << "rounding put back";
  }
}

}  // namespace
}  // namespace morvit
