#pragma once
// The one buffered text channel to standard output. Everything the program prints is written in
// statements: items, then EndLine() or EndStatement(), then CheckOutput().

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace morvit {

class OutputChannel {
 public:
  static constexpr size_t kBufferSize = 128;

  // Items. A width larger than the item's characters right-justifies it with spaces; nothing is cut.
  void WriteText(std::string_view text, int32_t width = 0);
  void WriteZText(const char* text, int32_t width = 0);
  void WriteChar(char c, int32_t width = 0);
  void WriteBool(bool value, int32_t width = 0);
  void WriteInt(int32_t value, int32_t width = 0);
  void WriteInt64(int64_t value, int32_t width = 0);
  void WriteReal(long double value, int32_t width, int32_t decimals);

  // Statement ends. EndLine appends CR LF first. Both flush when standard output is a console.
  void EndLine();
  void EndStatement();
  // Raises EInOutError when an output error is pending.
  void CheckOutput();
  // A statement's end and its check, so that an output error is raised at the statement that met it.
  void EndLineAndCheck();
  void EndStatementAndCheck();
  // A statement of one text that completes a line.
  void WriteLine(std::string_view text);

  // Passes buffered text on at process end; an error then is ignored.
  void FlushAtExit();
  // For a thread that has stopped the program's own at an unknown point, or that runs on it in place of
  // the interrupted code: passes the finished text in the buffer on, then text, straight to the platform,
  // allocating nothing and changing no byte of the buffer. Bytes that the stopped thread is writing are
  // that write's own and are not written again.
  void WriteLast(const char* text);
  // A write to the platform is under way.
  bool Writing() const { return writing_; }

  int32_t PendingIoError() const { return pendingIoError_; }
  // Back to the state at process start (closed, empty, no error); for tests.
  void Reset();

 private:
  void WriteField(std::string_view characters, int32_t width);
  bool EnsureOpen();
  void Append(std::string_view bytes);
  void Flush();

  bool open_ = false;
  bool flushAtStatementEnd_ = false;
  char buffer_[kBufferSize] = {};
  size_t fill_ = 0;
  int32_t pendingIoError_ = 0;
  bool itemDropped_ = false;
  // Set while Flush hands bytes to the platform. Another thread looks at it while this one is stopped.
  volatile bool writing_ = false;
};

// The process-wide channel.
OutputChannel& Output();

// The message of an EInOutError with the given error number.
std::string IoErrorMessage(int32_t errorNumber);

}  // namespace morvit
