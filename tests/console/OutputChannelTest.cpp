#include "console/OutputChannel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "console/Failure.h"
#include "support/CapturedOutput.h"

namespace morvit {
namespace {

using platform::StreamKind;
using testing::CapturedOutput;

TEST(FieldRule, RightJustifiesAndNeverCuts) {
  CapturedOutput captured;
  OutputChannel& out = Output();
  for (int32_t width : {5, 3, 2, 0, -3}) {
    out.WriteText("abc", width);
    out.WriteChar('|');
  }
  out.WriteText("", 4);
  out.WriteChar('|');
  out.WriteText("", 0);
  out.WriteText("", -2);
  out.WriteChar('|');
  out.WriteInt64(3355, 6);
  out.WriteChar('|');
  out.WriteInt64(1234567, 3);
  out.WriteChar('|');
  out.WriteText("x", 300);  // no cap but for reals
  out.WriteReal(1.5, 300, 1);  // widths above 255 count as 255
  out.EndLine();
  out.CheckOutput();
  EXPECT_EQ(captured.Text(), "  abc|abc|abc|abc|abc|    ||  3355|1234567|" + std::string(299, ' ') + "x" +
                                 std::string(252, ' ') + "1.5\r\n");
}

TEST(FieldRule, IntegersAndBooleans) {
  CapturedOutput captured;
  OutputChannel& out = Output();
  out.WriteInt(0);
  out.WriteChar(' ');
  out.WriteInt(-2147483647 - 1);
  out.WriteChar(' ');
  out.WriteInt(2147483647);
  out.WriteChar(' ');
  out.WriteInt64(INT64_MIN);
  out.WriteChar(' ');
  out.WriteInt64(-42, 5);
  out.WriteChar(' ');
  out.WriteBool(true);
  out.WriteBool(false);
  out.EndLine();
  EXPECT_EQ(captured.Text(), "0 -2147483648 2147483647 -9223372036854775808   -42 TRUEFALSE\r\n");
}

struct RealCase {
  long double value;
  int32_t width;
  int32_t decimals;
  const char* text;
};

TEST(WriteReal, FixedPointCases) {
  const RealCase cases[] = {
      {1.25, 8, 4, "  1.2500"},
      {0.0, 8, 4, "  0.0000"},
      {0.5, 8, 4, "  0.5000"},
      {9.99996, 8, 4, " 10.0000"},
      {1234.5, 8, 4, "1234.5000"},
      {0.00015, 8, 4, "  0.0002"},  // stored below 0.00015, but 17 significant places round up first
      {2.00005, 8, 4, "  2.0000"},  // stored below 2.00005 and stays below
      {0.49995, 8, 4, "  0.5000"},
      {-0.0, 8, 4, " -0.0000"},
      {-0.00001, 8, 4, " -0.0000"},
      {-1.5, 0, 2, "-1.50"},
      {12.5, 0, 0, "13"},
      {15.99999, 0, 4, "16.0000"},
      {16.0, 0, 1, "16.0"},
      {99.99996, 0, 4, "100.0000"},
      {99.99995, 0, 4, "99.9999"},
      {123456789.0, 0, 4, "123456789.0000"},
      {3355443200.0, 0, 0, "3355443200"},
      {1e20, 0, 2, "100000000000000000000.00"},
      {0.1, 0, 25, "0.1000000000000000100000000"},
      {7.0, 3, 0, "  7"},
  };
  for (const RealCase& c : cases) {
    CapturedOutput captured;
    Output().WriteReal(c.value, c.width, c.decimals);
    Output().EndStatement();
    EXPECT_EQ(captured.Text(), c.text) << "value " << static_cast<double>(c.value);
  }
}

// Independent model: the exact decimal expansion of the double (printf of the C library where it is
// exact), rounded to 17 - k places with ties to even, then half up to the requested decimals.
std::string ExactDecimal(double value) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, "%.200f", value);
  return buffer;
}

bool LibraryPrintsExactly() { return ExactDecimal(0.1).compare(0, 32, "0.100000000000000005551115123125") == 0; }

// Rounds the decimal string digits (no sign, with one '.') to the given places.
std::string RoundDecimal(const std::string& text, size_t places, bool tiesToEven) {
  size_t point = text.find('.');
  std::string digits = text.substr(0, point) + text.substr(point + 1);
  size_t keep = point + places;
  std::string kept = digits.substr(0, keep);
  bool up = false;
  if (keep < digits.size()) {
    char next = digits[keep];
    bool restZero = digits.find_first_not_of('0', keep + 1) == std::string::npos;
    if (next > '5' || (next == '5' && !restZero)) {
      up = true;
    } else if (next == '5') {
      up = tiesToEven ? ((kept.empty() ? 0 : kept.back() - '0') % 2 == 1) : true;
    }
  }
  kept = "0" + kept;
  if (up) {
    for (size_t i = kept.size(); i-- > 0;) {
      if (kept[i] == '9') {
        kept[i] = '0';
      } else {
        ++kept[i];
        break;
      }
    }
  }
  std::string integer = kept.substr(0, kept.size() - places);
  size_t first = integer.find_first_not_of('0');
  integer = first == std::string::npos ? "0" : integer.substr(first);
  return places == 0 ? integer : integer + "." + kept.substr(kept.size() - places);
}

int ScaleOf(double magnitude) {
  int k = 0;
  long double m = magnitude;
  if (m >= 10) {
    for (;;) {
      int e;
      std::frexp(m, &e);
      int j = ((e - 1) * 19728) >> 16;
      if (j == 0) break;
      for (int i = 0; i < j; ++i) m /= 10;
      k += j;
    }
  }
  return k;
}

TEST(WriteReal, SweepAgreesWithExactDecimalModel) {
  if (!LibraryPrintsExactly()) GTEST_SKIP() << "the C library does not print exact decimal expansions";
  std::mt19937_64 random(20261207);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int checked = 0;
  for (int i = 0; i < 20000; ++i) {
    double magnitude;
    switch (i % 4) {
      case 0: magnitude = unit(random) * 16; break;                          // seconds of a test
      case 1: magnitude = std::round(unit(random) * 1e6) / 1e4 + 5e-5; break;  // near decimal ties
      case 2: magnitude = std::pow(10.0, unit(random) * 12 - 6); break;      // wide range
      default: magnitude = std::pow(10.0, unit(random) * 4) * 16; break;     // scaled by powers of ten
    }
    double value = (i % 7 == 0) ? -magnitude : magnitude;
    int decimals = static_cast<int>(random() % 7);
    int k = ScaleOf(magnitude);
    std::string expected = RoundDecimal(RoundDecimal(ExactDecimal(magnitude), static_cast<size_t>(17 - k), true),
                                        static_cast<size_t>(decimals), false);
    if (value < 0) expected = "-" + expected;
    ASSERT_EQ(RealText(value, decimals), expected) << "value " << ExactDecimal(value).substr(0, 40) << " decimals "
                                                   << decimals;
    ++checked;
  }
  EXPECT_EQ(checked, 20000);
}

TEST(Buffering, DiskAndPipeGetWholeBlocksAndTheRestAtExit) {
  for (StreamKind kind : {StreamKind::Disk, StreamKind::Pipe}) {
    CapturedOutput captured(kind);
    OutputChannel& out = Output();
    out.WriteText("short");
    out.EndLine();
    EXPECT_TRUE(captured.Writes().empty());
    out.WriteText(std::string(300, 'x'));
    out.EndStatement();
    EXPECT_EQ(captured.Writes(), (std::vector<size_t>{128, 128}));
    EXPECT_EQ(captured.Text(), "short\r\n" + std::string(300, 'x'));
    EXPECT_EQ(captured.Writes(), (std::vector<size_t>{128, 128, 51}));
  }
}

TEST(Buffering, ConsoleGetsEveryStatementAtItsEnd) {
  CapturedOutput captured(StreamKind::Character);
  OutputChannel& out = Output();
  out.WriteText("label ");
  out.EndStatement();
  EXPECT_EQ(captured.Writes(), std::vector<size_t>{6});
  out.WriteText("rest");
  out.EndLine();
  EXPECT_EQ(captured.Writes(), (std::vector<size_t>{6, 6}));
  EXPECT_EQ(captured.Text(), "label rest\r\n");
}

void ExpectInOutError(int32_t number, const std::string& message) {
  try {
    Output().CheckOutput();
    ADD_FAILURE() << "no failure raised for " << number;
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.ClassName(), "EInOutError");
    EXPECT_EQ(failure.Message(), message);
    EXPECT_EQ(failure.ErrorNumber(), number);
  }
  EXPECT_EQ(Output().PendingIoError(), 0) << "the check takes the error";
}

TEST(OutputErrors, NoUsableStandardOutput) {
  for (auto [available, kind] : {std::pair{false, StreamKind::Disk}, std::pair{true, StreamKind::Unknown}}) {
    CapturedOutput captured(kind, available);
    OutputChannel& out = Output();
    out.WriteText("lost");
    EXPECT_EQ(out.PendingIoError(), 105);
    out.EndLine();
    ExpectInOutError(103, "I/O error 103");
    out.WriteText("again");  // every item tries to open the channel again
    EXPECT_EQ(captured.Opens(), 3);
    EXPECT_EQ(captured.Text(), "");
  }
}

TEST(OutputErrors, FailedWriteDropsTheRestOfItsItemOnly) {
  CapturedOutput captured;
  captured.FailWrites(1, 1, 112);
  OutputChannel& out = Output();
  out.WriteText(std::string(200, 'a'));  // the first 128 bytes fail, the other 72 are dropped
  out.WriteText("next");
  out.EndLine();
  ExpectInOutError(112, "I/O error 112");
  EXPECT_EQ(captured.Text(), "next\r\n");
}

TEST(OutputErrors, ConsoleWriteFailsAtStatementEnd) {
  CapturedOutput captured(StreamKind::Character);
  captured.FailWrites(1, 99, 5);
  Output().WriteText("denied");
  Output().EndLine();
  ExpectInOutError(5, "File access denied");
}

TEST(OutputErrors, MessagesByNumber) {
  EXPECT_EQ(IoErrorMessage(2), "File not found");
  EXPECT_EQ(IoErrorMessage(3), "Invalid filename");
  EXPECT_EQ(IoErrorMessage(4), "Too many open files");
  EXPECT_EQ(IoErrorMessage(5), "File access denied");
  EXPECT_EQ(IoErrorMessage(100), "Read beyond end of file");
  EXPECT_EQ(IoErrorMessage(101), "Disk full");
  EXPECT_EQ(IoErrorMessage(106), "Invalid numeric input");
  EXPECT_EQ(IoErrorMessage(6), "I/O error 6");
  EXPECT_EQ(IoErrorMessage(-7), "I/O error -7");
}

TEST(OutputErrors, NoErrorNoFailure) {
  CapturedOutput captured;
  Output().WriteText("fine");
  Output().EndLine();
  EXPECT_NO_THROW(Output().CheckOutput());
}

}  // namespace
}  // namespace morvit
