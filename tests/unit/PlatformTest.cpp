// The POSIX half's writes to standard output: the errno of a failed write becomes the error number and the
// text that the program prints, and an interrupted or partial write goes on until every byte is written.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "console/OutputChannel.h"
#include "platform/posix/StandardOutput.h"

namespace {

// The stand-in for write(2): its first call takes firstTakes bytes, or fails with firstError when that is
// not 0; every later call takes all it is given.
int firstError = 0;
size_t firstTakes = 0;
int calls = 0;
std::string written;

ssize_t ScriptedWrite(int, const void* bytes, size_t count) {
  ++calls;
  if (calls == 1 && firstError != 0) {
    errno = firstError;
    return -1;
  }
  const size_t taken = calls == 1 ? firstTakes : count;
  written.append(static_cast<const char*>(bytes), taken);
  return static_cast<ssize_t>(taken);
}

int32_t WriteWithFirstCall(int error, size_t takes) {
  firstError = error;
  firstTakes = takes;
  calls = 0;
  written.clear();
  return morvit::platform::posix::WriteStandardOutputWith(ScriptedWrite, "abcdef", 6);
}

struct ErrnoRow {
  const char* name;
  int error;
  int32_t number;    // the error number the output channel reports
  const char* text;  // the EInOutError's message that the report prints
};

TEST(PosixStandardOutput, ErrnoBecomesTheNumberAndTextPrinted) {
  const ErrnoRow rows[] = {
      {"a broken pipe (the reader has gone)", EPIPE, 232, "I/O error 232"},
      {"a full disk", ENOSPC, 112, "I/O error 112"},
      {"a quota's end, as a full disk", EDQUOT, 112, "I/O error 112"},
      {"a closed output", EBADF, 6, "I/O error 6"},
      {"access refused", EACCES, 5, "File access denied"},
      {"an operation not permitted, as access refused", EPERM, 5, "File access denied"},
      {"no such file", ENOENT, 2, "File not found"},
      {"a device's failure, not errno's 5 (access denied)", EIO, 29, "I/O error 29"},
      {"a socket's network gone, not errno's 100 (read beyond the end)", ENETDOWN, 64, "I/O error 64"},
      {"a socket's network out of reach, not errno's 101 (disk full)", ENETUNREACH, 64, "I/O error 64"},
      {"another errno whose number has a text of its own: 106 (invalid numeric input)", EISCONN, 29, "I/O error 29"},
      {"no Win32 counterpart: errno's own number", EFBIG, EFBIG, "I/O error 27"},
  };
  for (const ErrnoRow& row : rows) {
    const int32_t number = WriteWithFirstCall(row.error, 0);
    EXPECT_EQ(number, row.number) << row.name;
    EXPECT_EQ(morvit::IoErrorMessage(number), row.text) << row.name;
    EXPECT_EQ(calls, 1) << row.name << ": a failed write is not tried again";
  }
}

TEST(PosixStandardOutput, InterruptedAndPartialWritesGoOn) {
  EXPECT_EQ(WriteWithFirstCall(EINTR, 0), 0) << "an interrupted write";
  EXPECT_EQ(written, "abcdef") << "an interrupted write: written again, whole";
  EXPECT_EQ(WriteWithFirstCall(0, 2), 0) << "a partial write";
  EXPECT_EQ(written, "abcdef") << "a partial write: the rest after it";
}

}  // namespace
