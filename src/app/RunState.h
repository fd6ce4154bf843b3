#pragma once
// The one record of a benchmark run, zeroed at its start and shared by reference with the timed
// section, the test groups, the surface steps and the blit tests.

#include <cstdint>

#include "display/DirectDrawRecords.h"

namespace morvit {

struct RunState {
  bool PerfTests;
  bool WaitAfterBlit;
  bool QWordRoutines;
  int32_t TestCount;
  int32_t ReadCount;
  uint32_t DwordCount;  // pitch times height of the test surface, in 32-bit words
  uint32_t FillValue;
  void* SysMemBuffer;
  DDSURFACEDESC2 SurfaceDesc;
  HRESULT LastResult;
  int64_t Frequency;  // performance-counter ticks per second
  int64_t StartCount;
  int64_t StopCount;
  bool TimeWarningPending;
};

}  // namespace morvit
