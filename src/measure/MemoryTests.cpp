#include "measure/MemoryTests.h"

#include "app/RunState.h"
#include "measure/MorvitUtl.h"
#include "measure/TimedSection.h"
#include "platform/SafeCode.h"

namespace morvit {

namespace {

// What every test of both groups needs, read from the run state once, so that a timed loop holds
// nothing but its kernel calls.
struct Block {
  int32_t dwordCount;
  int32_t qwordCount;  // half the words, rounded down: an odd last word is left alone
  uint32_t dwordFill;
  int64_t qwordFill;  // the 32-bit fill in both halves, so both families leave the same bytes
  bool qwords;
};

Block BlockOf(const RunState& state) {
  Block block;
  block.dwordCount = static_cast<int32_t>(state.DwordCount);
  block.qwordCount = static_cast<int32_t>(state.DwordCount >> 1);
  block.dwordFill = state.FillValue;
  block.qwordFill = static_cast<int64_t>((static_cast<uint64_t>(state.FillValue) << 32) | state.FillValue);
  block.qwords = state.QWordRoutines;
  return block;
}

// A key is thrown from any instruction of these three (platform/SafeCode.h): they hold nothing to clean
// up, and stay out of line so that they keep their own place.
#define PASS_LOOP __attribute__((noinline)) MORVIT_SAFE_CODE

PASS_LOOP void ReadTest(RunState& state, const char* label, const Block& block, const void* buffer, int32_t passes) {
  BeginTest(state, label);
  if (block.qwords) {
    for (int32_t pass = 0; pass < passes; ++pass) ReadQWords(buffer, block.qwordCount);
  } else {
    for (int32_t pass = 0; pass < passes; ++pass) ReadDWords(buffer, block.dwordCount);
  }
  EndTest(state, passes);
}

PASS_LOOP void WriteTest(RunState& state, const char* label, const Block& block, void* buffer, int32_t passes) {
  BeginTest(state, label);
  if (block.qwords) {
    for (int32_t pass = 0; pass < passes; ++pass) WriteQWords(buffer, block.qwordCount, block.qwordFill);
  } else {
    for (int32_t pass = 0; pass < passes; ++pass) WriteDWords(buffer, block.dwordCount, block.dwordFill);
  }
  EndTest(state, passes);
}

PASS_LOOP void CopyTest(RunState& state, const char* label, const Block& block, const void* source, void* destination,
                        int32_t passes) {
  BeginTest(state, label);
  if (block.qwords) {
    for (int32_t pass = 0; pass < passes; ++pass) CopyQWords(source, destination, block.qwordCount);
  } else {
    for (int32_t pass = 0; pass < passes; ++pass) CopyDWords(source, destination, block.dwordCount);
  }
  EndTest(state, passes);
}

}  // namespace

void SysMemTests(RunState& state) {
  const Block block = BlockOf(state);
  void* const sysMem = state.SysMemBuffer;
  ReadTest(state, "SysMem Read", block, sysMem, state.TestCount);
  WriteTest(state, "SysMem Write", block, sysMem, state.TestCount);
  // Not written before the timed loop: the first pass meets freshly committed pages.
  void* copyBuffer = nullptr;
  AllocPages(copyBuffer, static_cast<int32_t>(state.DwordCount * 4u));
  CopyTest(state, "SysMem Copy", block, sysMem, copyBuffer, state.TestCount);
  FreePages(copyBuffer);
}

void VideoMemTests(RunState& state) {
  const Block block = BlockOf(state);
  void* const sysMem = state.SysMemBuffer;
  void* const videoMem = state.SurfaceDesc.lpSurface;
  // Whatever the blits left there is replaced by the fill value, always with the 32-bit kernel.
  WriteDWords(sysMem, block.dwordCount, block.dwordFill);
  ReadTest(state, "VideoMem Read", block, videoMem, state.ReadCount);
  WriteTest(state, "VideoMem Write", block, videoMem, state.TestCount);
  CopyTest(state, "SysMem To VideoMem Copy", block, sysMem, videoMem, state.TestCount);
  CopyTest(state, "VideoMem To SysMem Copy", block, videoMem, sysMem, state.ReadCount);
}

}  // namespace morvit
