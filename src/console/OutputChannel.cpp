#include "console/OutputChannel.h"

#include <atomic>
#include <cmath>
#include <cstring>

#include "console/Failure.h"

namespace morvit {

namespace {

// Error numbers the channel itself produces.
constexpr int32_t kNotOpenedForOutput = 105;  // no usable standard output handle
constexpr int32_t kFileNotOpen = 103;         // statement ended on a closed channel

constexpr int32_t kMaxWidth = 255;  // of a real's field
constexpr int32_t kMaxDecimals = 216;

std::string DecimalText(int64_t value) {
  // Built from the unsigned magnitude, so that the most negative value is written in full.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  char digits[24];
  size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::string text;
  if (value < 0) text += '-';
  while (n > 0) text += digits[--n];
  return text;
}

// 10^j in extended precision: exact up to 10^27, where 5^j still fits the 64-bit significand.
long double PowerOfTen(int j) {
  if (j > 27) return std::pow(10.0L, static_cast<long double>(j));
  long double p = 1.0L;
  for (int i = 0; i < j; ++i) p *= 10.0L;
  return p;
}

}  // namespace

std::string RealText(long double value, int32_t decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > kMaxDecimals) decimals = kMaxDecimals;
  std::string text;
  if (std::signbit(value)) text += '-';
  long double m = std::fabs(value);
  if (std::isnan(m)) return text + "NAN";
  if (std::isinf(m)) return text + "INF";

  // Scale into [1, 16) by powers of ten found from the binary exponent (19728 / 65536 ~ log10 2).
  int k = 0;
  if (m >= 10.0L) {
    for (;;) {
      int e;
      std::frexp(m, &e);  // m = f * 2^e with 0.5 <= f < 1
      int j = ((e - 1) * 19728) >> 16;
      if (j == 0) break;
      m /= PowerOfTen(j);
      k += j;
    }
  }

  // Nineteen digits of m * 10^17, rounded to nearest with ties to even by the x87 unit.
  long double scaled = std::rint(m * 1e17L);
  uint64_t n = static_cast<uint64_t>(static_cast<int64_t>(scaled));
  std::string s(19, '0');
  for (int i = 18; i >= 0; --i) {
    s[static_cast<size_t>(i)] = static_cast<char>('0' + n % 10);
    n /= 10;
  }

  size_t keep = static_cast<size_t>(k) + static_cast<size_t>(decimals) + 2;
  std::string kept;
  if (keep < s.size()) {
    kept = s.substr(0, keep);
    if (s[keep] >= '5') {
      // Half up; the first digit is 0 or 1, so the carry always stops inside the kept digits.
      for (size_t i = kept.size(); i-- > 0;) {
        if (kept[i] == '9') {
          kept[i] = '0';
        } else {
          ++kept[i];
          break;
        }
      }
    }
  } else {
    kept = s + std::string(keep - s.size(), '0');
  }

  size_t fractionStart = kept.size() - static_cast<size_t>(decimals);
  if (kept[0] != '0') text += kept[0];
  text.append(kept, 1, fractionStart - 1);
  if (decimals > 0) {
    text += '.';
    text.append(kept, fractionStart, std::string::npos);
  }
  return text;
}

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
