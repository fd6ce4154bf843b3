// The test groups over ordinary buffers, with the counter, the page allocator and standard output
// seen through the platform layer: labels, order, counts, buffers, and what happens inside each
// timed section (nothing but the passes).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/RunState.h"
#include "console/Failure.h"
#include "console/FailureReport.h"
#include "measure/MemoryTests.h"
#include "platform/Fpu.h"
#include "platform/Platform.h"
#include "support/CapturedOutput.h"

namespace morvit {
namespace {

constexpr uint32_t kFill = 0xC0FFEE11u;
constexpr uint32_t kSysPattern = 0x5A5A0001u;
constexpr uint32_t kVideoPattern = 0x0B0B0002u;

// Every counter read ("C"), page allocation ("A<bytes>"), release ("F") and platform write ("W") in
// the order they happen. Each counter read is one second later than the one before.
struct Recorder {
  static Recorder& Get() {
    static Recorder recorder;
    return recorder;
  }
  std::string events;
  int64_t now = 0;
  bool refuseAllocation = false;
  int32_t (*capturedWrite)(const char*, size_t) = nullptr;
  std::vector<uint32_t> releasedContents;  // the copy buffer's words as it was released
  size_t releasedWords = 0;

  static int64_t Counter() {
    Get().events += "C";
    return Get().now += 1000;
  }
  static void* Allocate(size_t bytes) {
    Get().events += "A" + std::to_string(bytes);
    if (Get().refuseAllocation) return nullptr;
    return platform::RealServices().allocatePages(bytes);
  }
  static void Free(void* block) {
    Get().events += "F";
    const uint32_t* words = static_cast<const uint32_t*>(block);
    Get().releasedContents.assign(words, words + Get().releasedWords);
    platform::RealServices().freePages(block);
  }
  static int32_t Write(const char* bytes, size_t count) {
    Get().events += "W";
    return Get().capturedWrite(bytes, count);
  }
};

class MemoryTests : public ::testing::Test {
 protected:
  // A console, so that every statement reaches the platform at its end and shows in the record.
  MemoryTests() : output_(platform::StreamKind::Character) {}

  void SetUp() override {
    Recorder& r = Recorder::Get();
    r = Recorder();
    platform::Services& services = platform::CurrentServices();
    r.capturedWrite = services.writeStandardOutput;
    services.writeStandardOutput = &Recorder::Write;
    services.queryCounter = &Recorder::Counter;
    services.allocatePages = &Recorder::Allocate;
    services.freePages = &Recorder::Free;
    savedControl_ = platform::StoreControlWord();
    platform::LoadControlWord(platform::kProgramControlWord);

    std::memset(&state_, 0, sizeof state_);
    state_.PerfTests = true;
    state_.Frequency = 1000;
    state_.TimeWarningPending = true;
    state_.FillValue = kFill;
    state_.TestCount = 3;
    state_.ReadCount = 2;
  }
  void TearDown() override { platform::LoadControlWord(savedControl_); }
  platform::FaultConversion faultConversion_;

  void UseBlocks(uint32_t dwordCount) {
    state_.DwordCount = dwordCount;
    Recorder::Get().releasedWords = dwordCount;
    sysMem_.assign(dwordCount, kSysPattern);
    videoMem_.assign(dwordCount, kVideoPattern);
    state_.SysMemBuffer = sysMem_.data();
    state_.SurfaceDesc.lpSurface = videoMem_.data();
  }

  static std::vector<uint32_t> Words(uint32_t first, size_t count, uint32_t last) {
    std::vector<uint32_t> words(count, first);
    words.back() = last;
    return words;
  }

  testing::CapturedOutput output_;
  RunState state_;
  std::vector<uint32_t> sysMem_, videoMem_;
  uint16_t savedControl_ = 0;
};

TEST_F(MemoryTests, SysMemGroupLabelsOrderCountsAndTimedSections) {
  UseBlocks(5);  // 20 bytes a pass: the rate shows the pass count of each test
  SysMemTests(state_);
  EXPECT_EQ(output_.Text(),
            "SysMem Read (Secs, Bytes/s):                  1.0000           60      0M   0G\r\n"
            "SysMem Write (Secs, Bytes/s):                 1.0000           60      0M   0G\r\n"
            "SysMem Copy (Secs, Bytes/s):                  1.0000           60      0M   0G\r\n");
  // Inside each pair of counter reads nothing is written or allocated; the copy buffer is allocated
  // before its label and released after its report line.
  EXPECT_EQ(Recorder::Get().events, "WCCW" "WCCW" "A20" "WCCW" "F");
  EXPECT_EQ(sysMem_, std::vector<uint32_t>(5, kFill));
  EXPECT_EQ(Recorder::Get().releasedContents, std::vector<uint32_t>(5, kFill)) << "copy of SysMemBuffer";
  EXPECT_EQ(videoMem_, std::vector<uint32_t>(5, kVideoPattern));
}

TEST_F(MemoryTests, VideoMemGroupLabelsOrderCountsAndTimedSections) {
  UseBlocks(5);
  VideoMemTests(state_);
  EXPECT_EQ(output_.Text(),
            "VideoMem Read (Secs, Bytes/s):                1.0000           40      0M   0G\r\n"
            "VideoMem Write (Secs, Bytes/s):               1.0000           60      0M   0G\r\n"
            "SysMem To VideoMem Copy (Secs, Bytes/s):      1.0000           60      0M   0G\r\n"
            "VideoMem To SysMem Copy (Secs, Bytes/s):      1.0000           40      0M   0G\r\n");
  EXPECT_EQ(Recorder::Get().events, "WCCW" "WCCW" "WCCW" "WCCW");
  EXPECT_EQ(sysMem_, std::vector<uint32_t>(5, kFill));
  EXPECT_EQ(videoMem_, std::vector<uint32_t>(5, kFill));
}

TEST_F(MemoryTests, VideoMemReadCountTestsCopyTheScreenBack) {
  // With TestCount 0 the screen is neither written nor copied to; the two ReadCount tests read it
  // and copy it over the filled SysMemBuffer.
  UseBlocks(6);
  state_.TestCount = 0;
  state_.ReadCount = 1;
  state_.TimeWarningPending = false;
  VideoMemTests(state_);
  EXPECT_EQ(output_.Text(),
            "VideoMem Read (Secs, Bytes/s):                1.0000           24      0M   0G\r\n"
            "VideoMem Write (Secs, Bytes/s):               1.0000            0      0M   0G\r\n"
            "SysMem To VideoMem Copy (Secs, Bytes/s):      1.0000            0      0M   0G\r\n"
            "VideoMem To SysMem Copy (Secs, Bytes/s):      1.0000           24      0M   0G\r\n");
  EXPECT_EQ(videoMem_, std::vector<uint32_t>(6, kVideoPattern));
  EXPECT_EQ(sysMem_, std::vector<uint32_t>(6, kVideoPattern));
}

TEST_F(MemoryTests, QWordsLeaveTheOddLastWordButTheFillOfSysMemCoversIt) {
  UseBlocks(7);
  state_.QWordRoutines = true;
  state_.TestCount = 1;
  state_.ReadCount = 0;
  VideoMemTests(state_);
  // The report still counts all 28 bytes of a pass.
  EXPECT_EQ(output_.Text(),
            "VideoMem Read (Secs, Bytes/s):                1.0000            0      0M   0G\r\n"
            "VideoMem Write (Secs, Bytes/s):               1.0000           28      0M   0G\r\n"
            "SysMem To VideoMem Copy (Secs, Bytes/s):      1.0000           28      0M   0G\r\n"
            "VideoMem To SysMem Copy (Secs, Bytes/s):      1.0000            0      0M   0G\r\n");
  EXPECT_EQ(sysMem_, std::vector<uint32_t>(7, kFill)) << "32-bit fill before the tests";
  EXPECT_EQ(videoMem_, Words(kFill, 7, kVideoPattern));

  std::memset(&state_.SurfaceDesc, 0, sizeof state_.SurfaceDesc);
  UseBlocks(7);
  state_.QWordRoutines = true;
  SysMemTests(state_);
  EXPECT_EQ(sysMem_, Words(kFill, 7, kSysPattern));
  EXPECT_EQ(Recorder::Get().releasedContents, Words(kFill, 7, 0)) << "fresh pages read as zeros";
}

TEST_F(MemoryTests, ZeroCountsRunNoPassesButReport) {
  UseBlocks(4);
  state_.TestCount = 0;
  state_.ReadCount = 0;
  SysMemTests(state_);
  VideoMemTests(state_);
  const std::string zero = "     1.0000            0      0M   0G\r\n";
  EXPECT_EQ(output_.Text(),
            "SysMem Read (Secs, Bytes/s):             " + zero + "SysMem Write (Secs, Bytes/s):            " + zero +
                "SysMem Copy (Secs, Bytes/s):             " + zero + "VideoMem Read (Secs, Bytes/s):           " +
                zero + "VideoMem Write (Secs, Bytes/s):          " + zero +
                "SysMem To VideoMem Copy (Secs, Bytes/s): " + zero + "VideoMem To SysMem Copy (Secs, Bytes/s): " +
                zero);
  EXPECT_EQ(Recorder::Get().releasedContents, std::vector<uint32_t>(4, 0));
  EXPECT_EQ(videoMem_, std::vector<uint32_t>(4, kVideoPattern));
  EXPECT_EQ(sysMem_, std::vector<uint32_t>(4, kFill)) << "only the fill before the video tests";
}

TEST_F(MemoryTests, RefusedCopyBufferEndsTheRunWithGetMemFail) {
  UseBlocks(307200);
  Recorder::Get().refuseAllocation = true;
  try {
    SysMemTests(state_);
    FAIL() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.ClassName(), "Exception");
    EXPECT_EQ(failure.Message(), "GetMem fail [Size = 1228800]");
    const std::string report = FailureReportText(failure);
    EXPECT_EQ(report.substr(0, 30), "Exception Exception in module ");
    EXPECT_EQ(report.substr(report.find('\n')), "\nGetMem fail [Size = 1228800].");
  }
  EXPECT_EQ(Recorder::Get().events, "WCCW" "WCCW" "A1228800");
  EXPECT_EQ(output_.Text().find("SysMem Copy"), std::string::npos);
}

}  // namespace
}  // namespace morvit
