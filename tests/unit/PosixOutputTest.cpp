// The POSIX half's standard output: what a failed write(2) becomes, by errno, as the output channel raises
// it, and an interrupted write taken up again. Standard output is pointed at the file under test for the
// statement only.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <string>

#include "console/OutputChannel.h"
#include "unit/FakePlatform.h"

namespace morvit {
namespace {

// Writes one line longer than the channel's buffer to the given file as standard output, with the real
// services; returns what it raised ("Class: message").
std::string WriteLineTo(int file) {
  fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  dup2(file, STDOUT_FILENO);
  Output().Reset();
  std::string raised = Raised([] {
    Output().WriteLine(std::string(200, 'x'));
    Output().FlushAtExit();
  });
  Output().Reset();
  dup2(saved, STDOUT_FILENO);
  close(saved);
  return raised;
}

TEST(PosixOutput, FailedWritesByErrno) {
  int noReader[2];
  ASSERT_EQ(pipe(noReader), 0);
  close(noReader[0]);
  const int full = open("/dev/full", O_WRONLY);
  const int readOnly = open("/dev/null", O_RDONLY);
  const struct {
    const char* name;
    int file;
    const char* raised;
  } cases[] = {
      {"ENOSPC: the disk is full", full, "EInOutError: I/O error 112"},
      {"EPIPE: the pipe's reader has gone", noReader[1], "EInOutError: I/O error 232"},
      {"EBADF: not open for writing", readOnly, "EInOutError: I/O error 6"},
  };
  for (const auto& c : cases) EXPECT_EQ(WriteLineTo(c.file), c.raised) << c.name;
  close(noReader[1]);
  close(full);
  close(readOnly);
}

int drain = -1;  // the reading end the alarm empties

void DrainOnAlarm(int) {
  char bytes[4096];
  while (read(drain, bytes, sizeof bytes) > 0) {
  }
}

// A write that blocks on a full pipe and is interrupted by a signal fails with EINTR: it is made again.
TEST(PosixOutput, InterruptedWriteTakenUp) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  drain = ends[0];
  fcntl(ends[0], F_SETFL, O_NONBLOCK);
  fcntl(ends[1], F_SETFL, O_NONBLOCK);
  const std::string filler(4096, 'f');
  while (write(ends[1], filler.data(), filler.size()) > 0) {
  }
  fcntl(ends[1], F_SETFL, 0);
  struct sigaction action = {};
  action.sa_handler = DrainOnAlarm;  // without SA_RESTART: the blocked write returns EINTR
  struct sigaction previous = {};
  sigaction(SIGALRM, &action, &previous);
  ualarm(20000, 0);
  EXPECT_EQ(WriteLineTo(ends[1]), "");
  sigaction(SIGALRM, &previous, nullptr);
  close(ends[0]);
  close(ends[1]);
}

}  // namespace
}  // namespace morvit
