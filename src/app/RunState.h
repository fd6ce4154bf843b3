#pragma once
// The one record of a benchmark run, zeroed at its start and shared by reference with the timed
// section, the test groups, the surface steps and the blit tests.

#include <cstdint>

#include "display/DirectDrawRecords.h"

namespace morvit {

// RunBenchmark zeroes the whole record first; after that each field has the writers named beside it, and
// every other user only reads it.
struct RunState {
  // Settings, written only by ReadSettings (app/CommandLine.cpp) and final once it returns.
  bool PerfTests;      // false under /I
  bool WaitAfterBlit;  // /W
  bool QWordRoutines;  // /Q
  int32_t TestCount;   // argument 1
  int32_t ReadCount;   // argument 2
  // Pitch times height of the test surface, in 32-bit words: written by CreatePrimarySurface
  // (display/Surfaces.cpp).
  uint32_t DwordCount;
  // The value the write kernels store: written by RunBenchmark before the memory tests, always 0.
  uint32_t FillValue;
  // Written by CreateSysMemSurface (display/Surfaces.cpp), through AllocPages; never freed.
  void* SysMemBuffer;
  // Written by the surface steps (display/Surfaces.cpp) and, through them, by DirectDraw: in turn the
  // primary's request, its description, the system-memory surface's request and the locked primary's
  // description, whose lpSurface the video-memory tests use.
  DDSURFACEDESC2 SurfaceDesc;
  // The latest DirectDraw result: written by the device and surface steps (display/Surfaces.cpp) and by
  // TestBlt (display/BlitMeasurements.cpp).
  HRESULT LastResult;
  // Performance-counter ticks per second: written by RunBenchmark once, after the device listing.
  int64_t Frequency;
  // The counter at the start and at the end of the current timed test: written by BeginTest and
  // EndTest (measure/TimedSection.cpp).
  int64_t StartCount;
  int64_t StopCount;
  // The short-time warning has not been printed yet: set by RunBenchmark after the command line is
  // read, cleared by EndTest when it prints the warning.
  bool TimeWarningPending;
};

}  // namespace morvit
