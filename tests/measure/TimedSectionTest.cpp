// The timed section with counter values supplied through the platform layer: whole report lines,
// the short-time warning, and the floating-point failures of degenerate measurements.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/RunState.h"
#include "console/Failure.h"
#include "measure/TimedSection.h"
#include "platform/Fpu.h"
#include "platform/Platform.h"
#include "support/CapturedOutput.h"

namespace morvit {
namespace {

constexpr const char* kWarning =
    " ! Warning: Time less than 0.5 second, try to increase Test Surface Size or/and TestCount\r\n";

// The counter values the next reads return, and how many platform writes had happened at each read.
struct SuppliedCounter {
  static std::vector<int64_t>& Values() {
    static std::vector<int64_t> values;
    return values;
  }
  static std::vector<size_t>& WritesAtRead() {
    static std::vector<size_t> writes;
    return writes;
  }
  static testing::CapturedOutput*& Output() {
    static testing::CapturedOutput* output = nullptr;
    return output;
  }
  static int64_t Read() {
    WritesAtRead().push_back(Output()->Writes().size());
    std::vector<int64_t>& values = Values();
    if (values.empty()) return 0;
    int64_t value = values.front();
    values.erase(values.begin());
    return value;
  }
};

class TimedSection : public ::testing::Test {
 protected:
  TimedSection() : output_(platform::StreamKind::Character) {}

  void SetUp() override {
    std::memset(&state_, 0, sizeof state_);
    state_.TimeWarningPending = true;
    SuppliedCounter::Values().clear();
    SuppliedCounter::WritesAtRead().clear();
    SuppliedCounter::Output() = &output_;
    platform::CurrentServices().queryCounter = &SuppliedCounter::Read;
    savedControl_ = platform::StoreControlWord();
    platform::LoadControlWord(platform::kProgramControlWord);
  }
  void TearDown() override { platform::LoadControlWord(savedControl_); }
  platform::FaultConversion faultConversion_;

  // One test from BeginTest to EndTest, its counter reads returning start and stop.
  void Measure(const char* label, int64_t start, int64_t stop, int32_t count) {
    SuppliedCounter::Values() = {start, stop};
    BeginTest(state_, label);
    EndTest(state_, count);
  }

  static bool ControlWordIsTheProgramsAgain() {
    return (platform::StoreControlWord() & ~0x40) == platform::kProgramControlWord;
  }

  testing::CapturedOutput output_;
  RunState state_;
  uint16_t savedControl_ = 0;
};

TEST_F(TimedSection, ShortTimeWarningOncePerRunFromBelowHalfASecond) {
  state_.Frequency = 10000000;
  state_.DwordCount = 786432;  // a 1024x768 screen of 32-bit pixels
  Measure("SysMem Read", 1000, 5001000, 1000);      // exactly 0.5 s
  Measure("SysMem Write", 1000, 4999999 + 1, 1000);  // 0.4999 s
  Measure("SysMem Copy", 0, 1000000, 1000);         // 0.1 s, warning no longer pending
  EXPECT_EQ(output_.Text(),
            "SysMem Read (Secs, Bytes/s):                  0.5000   6291456000   6291M   6G\r\n"
            "SysMem Write (Secs, Bytes/s):                 0.4999   6292714542   6293M   6G\r\n" +
                std::string(kWarning) +
                "SysMem Copy (Secs, Bytes/s):                  0.1000  31457279999  31457M  31G\r\n");
  EXPECT_FALSE(state_.TimeWarningPending);
  EXPECT_EQ(state_.StartCount, 0);
  EXPECT_EQ(state_.StopCount, 1000000);
}

TEST_F(TimedSection, LineIs78CharactersWithFieldsFromColumn45) {
  state_.Frequency = 1;
  state_.DwordCount = 2;
  Measure("VideoMem To SysMem Copy", 0, 4, 1250000000);
  const std::string text = output_.Text();
  EXPECT_EQ(text, "VideoMem To SysMem Copy (Secs, Bytes/s):      4.0000   2500000000   2500M   3G\r\n");
  EXPECT_EQ(text.size(), 78u + 2u);
  EXPECT_EQ(text.find("4.0000"), 44u + 2u);
}

TEST_F(TimedSection, LabelAndHeaderReachTheDeviceBeforeTheStartRead) {
  // On a console the label statement is written at its end, before the first counter read; the
  // report line is written after the second.
  state_.Frequency = 1;
  state_.DwordCount = 1;
  Measure("SysMem Read", 0, 1, 1);
  ASSERT_EQ(SuppliedCounter::WritesAtRead(), (std::vector<size_t>{1, 1}));
  ASSERT_EQ(output_.Writes().size(), 2u);
  EXPECT_EQ(output_.Text(), "SysMem Read (Secs, Bytes/s):                  1.0000            4      0M   0G\r\n");
}

TEST_F(TimedSection, MegabytesAndGigabytesRoundHalfUp) {
  // 4 seconds and one word per pass: the rate is the count.
  state_.Frequency = 1;
  state_.DwordCount = 1;
  state_.TimeWarningPending = false;
  for (int32_t count : {499999, 500000, 1499999999, 500000000, 499999999}) Measure("SysMem Read", 10, 14, count);
  EXPECT_EQ(output_.Text(),
            "SysMem Read (Secs, Bytes/s):                  4.0000       499999      0M   0G\r\n"
            "SysMem Read (Secs, Bytes/s):                  4.0000       500000      1M   0G\r\n"
            "SysMem Read (Secs, Bytes/s):                  4.0000   1499999999   1500M   1G\r\n"
            "SysMem Read (Secs, Bytes/s):                  4.0000    500000000    500M   1G\r\n"
            "SysMem Read (Secs, Bytes/s):                  4.0000    499999999    500M   0G\r\n");
}

TEST_F(TimedSection, RateIsTruncatedTowardZeroAndRoundingIsPutBack) {
  state_.Frequency = 2;
  state_.DwordCount = 1;
  Measure("SysMem Read", 0, 3, 1);  // 4 bytes in 1.5 s: 2.67 bytes/s
  EXPECT_EQ(output_.Text(),
            "SysMem Read (Secs, Bytes/s):                  1.5000            2      0M   0G\r\n");
  EXPECT_TRUE(ControlWordIsTheProgramsAgain());
}

TEST_F(TimedSection, ZeroAndNegativeCountsEnterTheByteCount) {
  state_.Frequency = 1;
  state_.DwordCount = 1000;
  Measure("SysMem Read", 0, 1, 0);
  state_.DwordCount = 1;
  Measure("SysMem Write", 0, 1, -3);
  Measure("SysMem Copy", 0, 1, -375000);  // -1.5 MB: truncated to -1
  // A pass of 2^31 bytes is negative in 32 bits.
  state_.DwordCount = 0x20000000;
  Measure("VideoMem Read", 0, 1, 1);
  EXPECT_EQ(output_.Text(),
            "SysMem Read (Secs, Bytes/s):                  1.0000            0      0M   0G\r\n"
            "SysMem Write (Secs, Bytes/s):                 1.0000          -12      0M   0G\r\n"
            "SysMem Copy (Secs, Bytes/s):                  1.0000     -1500000     -1M   0G\r\n"
            "VideoMem Read (Secs, Bytes/s):                1.0000  -2147483648  -2147M  -2G\r\n");
}

TEST_F(TimedSection, LongLabelAndLongTimeShiftTheFields) {
  state_.Frequency = 10;
  state_.DwordCount = 250;
  state_.TimeWarningPending = false;
  Measure("A label of 27 characters ok", 0, 10, 1);
  Measure("SysMem Read", 0, 10000, 1000);  // 1000 s
  Measure("SysMem Read", 0, 123456789, 1);
  EXPECT_EQ(output_.Text(),
            "A label of 27 characters ok (Secs, Bytes/s):   1.0000         1000      0M   0G\r\n"
            "SysMem Read (Secs, Bytes/s):                1000.0000         1000      0M   0G\r\n"
            "SysMem Read (Secs, Bytes/s):                12345678.9000            0      0M   0G\r\n");
}

// The failures leave the label and header on the line and no field of the report.
struct FaultCase {
  int64_t frequency;
  int64_t start, stop;
  uint32_t dwordCount;
  int32_t count;
  const char* className;
  const char* message;
};

TEST_F(TimedSection, DegenerateMeasurementsFaultAfterTheHeader) {
  const FaultCase cases[] = {
      {10000000, 77, 77, 786432, 1000, "EZeroDivide", "Floating point division by zero"},  // equal reads
      {10000000, 77, 77, 786432, 0, "EInvalidOp", "Invalid floating point operation"},    // and no bytes
      {0, 0, 5, 1, 1, "EZeroDivide", "Floating point division by zero"},                  // no frequency
      {0, 5, 5, 1, 1, "EInvalidOp", "Invalid floating point operation"},
      {1000000000000000000, 0, 1, 1000, 1000, "EInvalidOp", "Invalid floating point operation"},  // 4e24 B/s
  };
  for (const FaultCase& c : cases) {
    testing::CapturedOutput output(platform::StreamKind::Character);
    SuppliedCounter::Output() = &output;
    platform::CurrentServices().queryCounter = &SuppliedCounter::Read;
    state_.Frequency = c.frequency;
    state_.DwordCount = c.dwordCount;
    state_.TimeWarningPending = true;
    try {
      Measure("SysMem Read", c.start, c.stop, c.count);
      ADD_FAILURE() << "no failure for " << c.message;
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.ClassName(), c.className);
      EXPECT_EQ(failure.Message(), c.message);
    }
    EXPECT_TRUE(ControlWordIsTheProgramsAgain()) << c.message;
    EXPECT_EQ(output.Text(), "SysMem Read (Secs, Bytes/s):                ") << c.message;
    EXPECT_EQ(state_.StopCount, c.stop);
    EXPECT_TRUE(state_.TimeWarningPending);
  }
  SuppliedCounter::Output() = &output_;
}

}  // namespace
}  // namespace morvit
