#pragma once
// The bracket around every timed test: BeginTest writes the label and column header and reads the
// start counter last; EndTest reads the stop counter first and completes the report line.

#include <cstdint>
#include <string_view>

namespace morvit {

struct RunState;

void BeginTest(RunState& state, std::string_view label);
// count: the test's repetition count; each pass moved DwordCount * 4 bytes.
void EndTest(RunState& state, int32_t count);

// The figures of a report line: the seconds, and the rate in bytes per second (all passes' bytes over
// the seconds, truncated), in decimal megabytes (10^6) and gigabytes (10^9), each rounded half up.
struct ReportFigures {
  double seconds;
  int64_t bytesPerSecond;
  int64_t megabytes;
  int64_t gigabytes;
};
// elapsed: counter ticks at frequency ticks per second, for count passes of passBytes each. Under the
// program's x87 control word; no elapsed ticks or a frequency of 0 fault as a division by zero.
ReportFigures ComputeFigures(int64_t elapsed, int64_t frequency, int32_t passBytes, int32_t count);

}  // namespace morvit
