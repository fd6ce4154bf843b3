#pragma once
// Redirects the output channel into a string for the length of a test: standard output becomes a
// stream of the chosen kind whose writes are recorded one by one, and can be made to fail.

#include <string>
#include <vector>

#include "console/OutputChannel.h"
#include "platform/Platform.h"

namespace morvit::testing {

class CapturedOutput {
 public:
  explicit CapturedOutput(platform::StreamKind kind = platform::StreamKind::Disk, bool available = true) {
    State& s = Current();
    s = State();
    s.kind = kind;
    s.available = available;
    platform::CurrentServices().openStandardOutput = &Open;
    platform::CurrentServices().writeStandardOutput = &Write;
    Output().Reset();
  }
  ~CapturedOutput() {
    Output().Reset();
    platform::Restore();
  }
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;

  // Everything passed to the platform so far, after passing on what is still buffered.
  std::string Text() {
    Output().FlushAtExit();
    return Current().text;
  }
  // The sizes of the platform writes, in order.
  const std::vector<size_t>& Writes() const { return Current().writes; }
  // Makes platform writes number first to last (from 1) fail with the error number.
  void FailWrites(size_t first, size_t last, int32_t error) {
    Current().failFrom = first;
    Current().failUntil = last;
    Current().error = error;
  }
  int Opens() const { return Current().opens; }

 private:
  struct State {
    platform::StreamKind kind = platform::StreamKind::Disk;
    bool available = true;
    std::string text;
    std::vector<size_t> writes;
    size_t failFrom = 0;
    size_t failUntil = 0;
    int32_t error = 0;
    int opens = 0;
  };
  static State& Current() {
    static State state;
    return state;
  }
  static platform::StandardOutput Open() {
    ++Current().opens;
    return {Current().available, Current().kind};
  }
  static int32_t Write(const char* bytes, size_t count) {
    State& s = Current();
    s.writes.push_back(count);
    if (s.writes.size() >= s.failFrom && s.writes.size() <= s.failUntil) return s.error;
    s.text.append(bytes, count);
    return 0;
  }
};

}  // namespace morvit::testing
