#include "measure/MemoryTestGroups.h"

#include "app/RunState.h"
#include "measure/MorvitUtl.h"
#include "measure/TimedSection.h"
#include "platform/SafeCode.h"

namespace morvit {

namespace {

// What every test of both groups needs, read from the run state once, so that a timed loop holds
// nothing but its kernel calls.
struct KernelArguments {
  int32_t dwordCount;
  int32_t qwordCount;  // half the words, rounded down: an odd last word is left alone
  uint32_t dwordFill;
  int64_t qwordFill;  // the 32-bit fill in both halves, so both families leave the same bytes
  bool qwords;
};

KernelArguments KernelArgumentsOf(const RunState& state) {
  KernelArguments kernel;
  kernel.dwordCount = static_cast<int32_t>(state.DwordCount);
  kernel.qwordCount = static_cast<int32_t>(state.DwordCount >> 1);
  kernel.dwordFill = state.FillValue;
  kernel.qwordFill = static_cast<int64_t>((static_cast<uint64_t>(state.FillValue) << 32) | state.FillValue);
  kernel.qwords = state.QWordRoutines;
  return kernel;
}

// A key is thrown from any instruction of these three (platform/SafeCode.h): they hold nothing to clean
// up, and stay out of line so that they keep their own place.
#define MORVIT_PASS_LOOP __attribute__((noinline)) MORVIT_SAFE_CODE

MORVIT_PASS_LOOP void ReadTest(RunState& state, const char* label, const KernelArguments& kernel, const void* buffer,
                               int32_t passes) {
  BeginTest(state, label);
  if (kernel.qwords) {
    for (int32_t pass = 0; pass < passes; ++pass) ReadQWords(buffer, kernel.qwordCount);
  } else {
    for (int32_t pass = 0; pass < passes; ++pass) ReadDWords(buffer, kernel.dwordCount);
  }
  EndTest(state, passes);
}

MORVIT_PASS_LOOP void WriteTest(RunState& state, const char* label, const KernelArguments& kernel, void* buffer,
                                int32_t passes) {
  BeginTest(state, label);
  if (kernel.qwords) {
    for (int32_t pass = 0; pass < passes; ++pass) WriteQWords(buffer, kernel.qwordCount, kernel.qwordFill);
  } else {
    for (int32_t pass = 0; pass < passes; ++pass) WriteDWords(buffer, kernel.dwordCount, kernel.dwordFill);
  }
  EndTest(state, passes);
}

MORVIT_PASS_LOOP void CopyTest(RunState& state, const char* label, const KernelArguments& kernel, const void* source,
                               void* destination, int32_t passes) {
  BeginTest(state, label);
  if (kernel.qwords) {
    for (int32_t pass = 0; pass < passes; ++pass) CopyQWords(source, destination, kernel.qwordCount);
  } else {
    for (int32_t pass = 0; pass < passes; ++pass) CopyDWords(source, destination, kernel.dwordCount);
  }
  EndTest(state, passes);
}

}  // namespace

void SysMemTests(RunState& state) {
  const KernelArguments kernel = KernelArgumentsOf(state);
  void* const sysMem = state.SysMemBuffer;
  ReadTest(state, "SysMem Read", kernel, sysMem, state.TestCount);
  WriteTest(state, "SysMem Write", kernel, sysMem, state.TestCount);
  // Not written before the timed loop: the first pass meets freshly committed pages.
  void* copyBuffer = nullptr;
  AllocPages(copyBuffer, static_cast<int32_t>(state.DwordCount * 4u));
  CopyTest(state, "SysMem Copy", kernel, sysMem, copyBuffer, state.TestCount);
  FreePages(copyBuffer);
}

void VideoMemTests(RunState& state) {
  const KernelArguments kernel = KernelArgumentsOf(state);
  void* const sysMem = state.SysMemBuffer;
  void* const videoMem = state.SurfaceDesc.lpSurface;
  // Whatever the blits left there is replaced by the fill value, always with the 32-bit kernel.
  WriteDWords(sysMem, kernel.dwordCount, kernel.dwordFill);
  ReadTest(state, "VideoMem Read", kernel, videoMem, state.ReadCount);
  WriteTest(state, "VideoMem Write", kernel, videoMem, state.TestCount);
  CopyTest(state, "SysMem To VideoMem Copy", kernel, sysMem, videoMem, state.TestCount);
  CopyTest(state, "VideoMem To SysMem Copy", kernel, videoMem, sysMem, state.ReadCount);
}

}  // namespace morvit
