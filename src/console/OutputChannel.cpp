#include "console/OutputChannel.h"

#include <atomic>
#include <cstring>

#include "console/Failure.h"
#include "console/Text.h"

namespace morvit {

namespace {

// Error numbers the channel itself produces.
constexpr int32_t kNotOpenedForOutput = 105;  // no usable standard output handle
constexpr int32_t kFileNotOpen = 103;         // statement ended on a closed channel

constexpr int32_t kMaxWidth = 255;  // of a real's field

}  // namespace

std::string IoErrorMessage(int32_t errorNumber) {
  switch (errorNumber) {
    case 2:
      return "File not found";
    case 3:
      return "Invalid filename";
    case 4:
      return "Too many open files";
    case 5:
      return "File access denied";
    case 100:
      return "Read beyond end of file";
    case 101:
      return "Disk full";
    case 106:
      return "Invalid numeric input";
    default:
      return Format("I/O error %d", errorNumber);
  }
}

OutputChannel& Output() {
  static OutputChannel channel;
  return channel;
}

void OutputChannel::Reset() {
  open_ = false;
  flushAtStatementEnd_ = false;
  fill_ = 0;
  pendingIoError_ = 0;
  itemDropped_ = false;
}

bool OutputChannel::EnsureOpen() {
  if (open_) return true;
  platform::StandardOutput out = platform::OpenStandardOutput();
  if (!out.available || out.kind == platform::StreamKind::Unknown) {
    pendingIoError_ = kNotOpenedForOutput;
    return false;
  }
  open_ = true;
  flushAtStatementEnd_ = out.kind == platform::StreamKind::Character;
  return true;
}

// The bytes leave the buffer before the write begins: a thread that stops this one inside the write and
// writes the buffer's finished text must not find them there again.
void OutputChannel::Flush() {
  const size_t count = fill_;
  if (count == 0) return;
  writing_ = true;
  fill_ = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  int32_t error = platform::WriteStandardOutput(buffer_, count);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  writing_ = false;
  if (error != 0) {
    pendingIoError_ = error;
    itemDropped_ = true;
  }
}

// A full buffer is written only when more bytes come: which statement a failed write is reported at
// depends on it.
void OutputChannel::Append(std::string_view bytes) {
  while (!bytes.empty() && !itemDropped_) {
    if (fill_ == kBufferSize) {
      Flush();
      continue;
    }
    size_t room = kBufferSize - fill_;
    size_t n = bytes.size() < room ? bytes.size() : room;
    std::memcpy(buffer_ + fill_, bytes.data(), n);
    fill_ += n;
    bytes.remove_prefix(n);
  }
}

void OutputChannel::WriteField(std::string_view characters, int32_t width) {
  if (!EnsureOpen()) return;
  itemDropped_ = false;  // a failed write drops the rest of its own item only
  if (width > 0 && static_cast<size_t>(width) > characters.size()) {
    Append(std::string(static_cast<size_t>(width) - characters.size(), ' '));
  }
  Append(characters);
  itemDropped_ = false;
}

void OutputChannel::WriteText(std::string_view text, int32_t width) { WriteField(text, width); }

void OutputChannel::WriteZText(const char* text, int32_t width) {
  WriteField(std::string_view(text, std::strlen(text)), width);
}

void OutputChannel::WriteChar(char c, int32_t width) { WriteField(std::string_view(&c, 1), width); }

void OutputChannel::WriteBool(bool value, int32_t width) { WriteField(value ? "TRUE" : "FALSE", width); }

void OutputChannel::WriteInt(int32_t value, int32_t width) { WriteField(DecimalText(value), width); }

void OutputChannel::WriteInt64(int64_t value, int32_t width) { WriteField(DecimalText(value), width); }

void OutputChannel::WriteReal(long double value, int32_t width, int32_t decimals) {
  WriteField(RealText(value, decimals), width < kMaxWidth ? width : kMaxWidth);
}

void OutputChannel::EndLine() {
  WriteField("\r\n", 0);
  EndStatement();
}

void OutputChannel::EndStatement() {
  if (!open_) {
    pendingIoError_ = kFileNotOpen;
    return;
  }
  if (flushAtStatementEnd_) Flush();
}

// Also a safe point for a key: the end of a statement.
void OutputChannel::CheckOutput() {
  if (pendingIoError_ == 0) {
    platform::PollInterrupt();
    return;
  }
  int32_t error = pendingIoError_;
  pendingIoError_ = 0;
  Raise("EInOutError", IoErrorMessage(error), error);
}

void OutputChannel::EndLineAndCheck() {
  EndLine();
  CheckOutput();
}

void OutputChannel::EndStatementAndCheck() {
  EndStatement();
  CheckOutput();
}

void OutputChannel::WriteLine(std::string_view text) {
  WriteText(text);
  EndLineAndCheck();
}

void OutputChannel::FlushAtExit() {
  if (open_) Flush();
  pendingIoError_ = 0;
}

void OutputChannel::WriteLast(const char* text) {
  if (!open_ && !EnsureOpen()) return;
  if (!writing_ && fill_ > 0) {
    const size_t count = fill_;
    fill_ = 0;
    platform::WriteStandardOutput(buffer_, count);
  }
  const size_t length = std::strlen(text);
  if (length > 0) platform::WriteStandardOutput(text, length);
}

}  // namespace morvit
