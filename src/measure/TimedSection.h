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

}  // namespace morvit
