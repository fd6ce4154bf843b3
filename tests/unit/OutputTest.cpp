// The output channel, its field formats, the report line and the result texts, over a standard output
// and a counter supplied through the platform layer.
#include <gtest/gtest.h>

#include <functional>
#include <variant>
#include <vector>

#include "app/RunState.h"
#include "console/Failure.h"
#include "console/FailureReport.h"
#include "console/OutputChannel.h"
#include "display/DirectDraw.h"
#include "measure/TimedSection.h"
#include "platform/Fpu.h"

namespace morvit {
namespace {

using platform::StreamKind;

// What reached the platform: the bytes written, and the write sizes with counter reads among them
// ("44 r r 80"). The write numbered failWrite fails with failError.
struct Captured {
  StreamKind kind;
  std::string text, events;
  size_t writes, failWrite;
  int32_t failError;
  std::vector<int64_t> counter;
  const char* lastText;
} captured;

// Runs step on a fresh channel over that standard output; returns what it raised ("Class: message").
std::string Capture(StreamKind kind, const std::function<void(OutputChannel&)>& step) {
  captured = Captured{kind, "", "", 0, 0, 0, {}, nullptr};
  platform::Services& services = platform::CurrentServices();
  services.openStandardOutput = [] { return platform::StandardOutput{true, captured.kind}; };
  services.writeStandardOutput = [](const char* bytes, size_t count) {
    captured.events += std::to_string(count) + " ";
    if (++captured.writes == captured.failWrite) return captured.failError;
    captured.text.append(bytes, count);
    // Another thread stops this one inside its first write, after the system took the bytes, and writes
    // the last text.
    const char* last = captured.lastText;
    captured.lastText = nullptr;
    if (last != nullptr) Output().WriteLast(last);
    return 0;
  };
  services.queryCounter = [] {
    captured.events += "r ";
    if (captured.counter.empty()) return int64_t{0};
    const int64_t value = captured.counter.front();
    captured.counter.erase(captured.counter.begin());
    return value;
  };
  Output().Reset();
  std::string raised;
  try {
    step(Output());
  } catch (const Failure& failure) {
    raised = failure.ClassName() + ": " + failure.Message();
  }
  Output().FlushAtExit();
  Output().Reset();
  platform::RestoreRealServices();
  return raised;
}

// A case's calls on the channel, in order: texts, characters, and the calls that end and check statements.
enum Control { kEndLine, kEndStatement, kCheckOutput };
using Step = std::variant<std::string, char, Control>;
template <typename... Parts>
std::vector<Step> Steps(Parts... parts) {
  return {Step(parts)...};
}

void Perform(OutputChannel& out, const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    if (const auto* text = std::get_if<std::string>(&step)) out.WriteText(*text);
    if (const auto* c = std::get_if<char>(&step)) out.WriteChar(*c);
    if (step == Step(kEndLine)) out.EndLine();
    if (step == Step(kEndStatement)) out.EndStatement();
    if (step == Step(kCheckOutput)) out.CheckOutput();
  }
}

TEST(Output, FieldsIntegersBooleansAndReals) {
  Capture(StreamKind::Disk, [](OutputChannel& out) {
    for (int32_t width : {5, 3, 2, 0, -3}) {
      out.WriteText("abc", width);
      out.WriteChar('|');
    }
    for (int32_t width : {4, -2}) out.WriteText("", width);
    out.WriteZText("|");
    out.WriteInt64(3355, 6);
    out.WriteChar('|');
    out.WriteInt64(1234567, 3);
    for (int32_t value : {0, -2147483647 - 1}) out.WriteInt(value);
    out.WriteInt64(INT64_MIN, 21);
    for (bool value : {true, false}) out.WriteBool(value);
    out.WriteText("x", 300);
    out.WriteReal(1.5, 300, 1);
    for (double value : {1.25, 0.0, 9.99996, 1234.5, 0.00015, 2.00005, -0.0, -0.00001}) out.WriteReal(value, 8, 4);
    out.WriteReal(12.5, 0, 0);
    out.WriteReal(99.99995, 0, 4);
    out.WriteReal(1e20, 0, 2);
    out.WriteReal(0.1, 0, 25);
    out.EndLine();
  });
  EXPECT_EQ(captured.text, "  abc|abc|abc|abc|abc|    |  3355|12345670-2147483648 -9223372036854775808TRUEFALSE" +
                               std::string(299, ' ') + "x" + std::string(252, ' ') +
                               "1.5  1.2500  0.0000 10.0000"
                               "1234.5000  0.0002  2.0000 -0.0000 -0.00001399.9999100000000000000000000.00"
                               "0.1000000000000000100000000\r\n");
}

TEST(Output, WritesAndErrors) {
  // Each case: the stream, the write that fails (0: none) and its error number, the statements; then the
  // platform writes, the text that reached it and what the last CheckOutput raised.
  const struct {
    StreamKind kind;
    size_t failWrite;
    int32_t error;
    std::vector<Step> statements;
    const char* writes;
    std::string text;
    const char* raised;
  } cases[] = {
      {StreamKind::Disk, 0, 0, Steps("short", kEndLine, std::string(300, 'x')), "128 128 51 ",
       "short\r\n" + std::string(300, 'x'), ""},
      // A buffer that an item fills exactly is written when more comes: its failure is reported at the
      // statement that brought more, and drops that item.
      {StreamKind::Pipe, 1, 6, Steps(std::string(126, 'a'), kEndLine, kCheckOutput, 'b', kEndLine), "128 2 ", "\r\n",
       "EInOutError: I/O error 6"},
      {StreamKind::Character, 0, 0, Steps("label ", kEndStatement, "rest", kEndLine), "6 6 ", "label rest\r\n", ""},
      // A failed write drops the rest of its item; the statement's next items are still written.
      {StreamKind::Disk, 1, 112, Steps(std::string(200, 'a'), "next", kEndLine), "128 6 ", "next\r\n",
       "EInOutError: I/O error 112"},
      {StreamKind::Character, 1, 5, Steps("denied", kEndLine), "8 ", "", "EInOutError: File access denied"},
      {StreamKind::Unknown, 0, 0, Steps("lost", kEndLine), "", "", "EInOutError: I/O error 103"},
  };
  for (const auto& c : cases) {
    const std::string raised = Capture(c.kind, [&](OutputChannel& out) {
      captured.failWrite = c.failWrite;
      captured.failError = c.error;
      Perform(out, c.statements);
      out.CheckOutput();
    });
    EXPECT_EQ(raised + "|" + captured.events + "|" + captured.text, c.raised + ("|" + (c.writes + ("|" + c.text))));
  }
}

// The last text written by a thread that stopped the program's: the finished bytes go out once, whether
// they still wait in the buffer or a write of the stopped thread has them.
TEST(Output, LastTextAfterTheFinishedBytes) {
  const struct {
    const char* name;
    StreamKind kind;
    bool stoppedInWrite;
    std::vector<Step> statements;
    const char* last;
    std::string text;
  } cases[] = {
      {"buffered line", StreamKind::Disk, false, Steps("done", kEndLine), "report\r\n", "done\r\nreport\r\n"},
      {"open line on a console", StreamKind::Character, false, Steps("label ", kEndStatement), "report\r\n",
       "label report\r\n"},
      {"inside the write of a full buffer", StreamKind::Pipe, true, Steps(std::string(130, 'x')), "report\r\n",
       std::string(128, 'x') + "report\r\n"},
      {"inside a console's statement write", StreamKind::Character, true, Steps("line", kEndLine), "report\r\n",
       "line\r\nreport\r\n"},
      {"nothing written yet", StreamKind::Disk, false, Steps(), "report\r\n", "report\r\n"},
      {"no report", StreamKind::Disk, false, Steps("done", kEndLine), "", "done\r\n"},
  };
  for (const auto& c : cases) {
    Capture(c.kind, [&](OutputChannel& out) {
      captured.lastText = c.stoppedInWrite ? c.last : nullptr;
      Perform(out, c.statements);
      if (!c.stoppedInWrite) out.WriteLast(c.last);
      // The stopped thread never goes on: what it left in the buffer is not the test's.
      out.Reset();
    });
    EXPECT_EQ(captured.text, c.text) << c.name;
  }
}

TEST(TimedSection, ReportLines) {
  const std::string warning =
      "\r\n ! Warning: Time less than 0.5 second, try to increase Test Surface Size or/and TestCount";
  // Each case: ticks per second, words per pass, passes, start and stop counter values, and the report.
  const struct {
    int64_t frequency;
    uint32_t dwords;
    int32_t passes;
    int64_t start, stop;
    std::string line;
  } cases[] = {
      {10000000, 786432, 1000, 1000, 5001000, "  0.5000   6291456000   6291M   6G"},
      {10000000, 786432, 1000, 1000, 5000999, "  0.5000   6291457258   6291M   6G" + warning},
      {10, 786432, 1000, 0, 1, "  0.1000  31457279999  31457M  31G" + warning},
      {1, 0x20000000, 1, 0, 1, "  1.0000  -2147483648  -2147M  -2G"},
      {10, 250, 1000, 0, 10000, "1000.0000         1000      0M   0G"},
      {10000000, 786432, 1000, 77, 77, "EZeroDivide: Floating point division by zero"},
      {10000000, 786432, 0, 77, 77, "EInvalidOp: Invalid floating point operation"},
      {0, 1, 1, 0, 5, "EZeroDivide: Floating point division by zero"},
      {1000000000000000000, 1000, 1000, 0, 1, "EInvalidOp: Invalid floating point operation"},
  };
  InstallFailureHandlers();
  platform::FaultConversion faultConversion;
  for (const auto& c : cases) {
    RunState state{};
    state.Frequency = c.frequency;
    state.DwordCount = c.dwords;
    state.TimeWarningPending = true;
    platform::LoadControlWord(platform::kProgramControlWord);
    const std::string raised = Capture(StreamKind::Character, [&](OutputChannel&) {
      captured.counter = {c.start, c.stop};
      BeginTest(state, "SysMem Read");
      EndTest(state, c.passes);
    });
    EXPECT_EQ(captured.text + raised,
              "SysMem Read (Secs, Bytes/s):                " + c.line + (raised.empty() ? "\r\n" : ""));
    // On a console the label is written before the start counter is read, the line after the stop.
    EXPECT_EQ(captured.events.substr(0, 7), "44 r r ");
    EXPECT_EQ(platform::StoreControlWord() & ~0x40, platform::kProgramControlWord) << "rounding put back";
  }
}

TEST(ResultText, Forms) {
  EXPECT_EQ(ResultText(0) + "|" + ResultText(DDERR_GENERIC) + "|" + ResultText(1),
            "OK|80004005h Generic failure.|00000001h Unrecognized Error");
}

}  // namespace
}  // namespace morvit
