#include "app/RunBenchmark.h"

#include <cstring>

#include "app/CommandLine.h"
#include "app/RunState.h"
#include "console/Failure.h"
#include "console/OutputChannel.h"
#include "console/Text.h"
#include "display/BlitMeasurements.h"
#include "display/ComReference.h"
#include "display/DeviceList.h"
#include "display/Surfaces.h"
#include "measure/MemoryTestGroups.h"
#include "platform/Platform.h"

namespace morvit {

namespace {

void WriteSettingsEcho(const RunState& state, int32_t bltToSysCount) {
  OutputChannel& out = Output();
  out.WriteZText("TestCount = ");
  out.WriteInt(state.TestCount);
  out.EndStatementAndCheck();
  if (state.ReadCount != state.TestCount) {
    out.WriteZText("; ReadCount = ");
    out.WriteInt(state.ReadCount);
    out.EndStatementAndCheck();
  }
  // Each count is compared with the one before it on the command line, shown or not, never with TestCount:
  // "5 7 5" shows all three counts, "5 5 7" leaves out ReadCount and still shows BltToSysCount.
  if (bltToSysCount != state.ReadCount) {
    out.WriteZText("; BltToSysCount = ");
    out.WriteInt(bltToSysCount);
    out.EndStatementAndCheck();
  }
  out.EndLineAndCheck();
  out.WriteZText("Wait after every blit: ");
  out.WriteBool(state.WaitAfterBlit);
  out.EndLineAndCheck();
  out.WriteZText("QWord Routines: ");
  out.WriteBool(state.QWordRoutines);
  out.EndLineAndCheck();
  out.EndLineAndCheck();
}

}  // namespace

void RunBenchmark() {
  RunState state;
  std::memset(&state, 0, sizeof state);
  int32_t bltToSysCount = 0;

  Output().WriteLine("DirectDraw 7 Version");
  ReadSettings(state, bltToSysCount);
  state.TimeWarningPending = true;
  if (state.PerfTests) WriteSettingsEcho(state, bltToSysCount);
  Output().WriteLine("Attached Device Enumeration:");
  ListDevices();
  // Not examined: a failed call leaves Frequency at zero.
  platform::QueryFrequency(state.Frequency);

  // Declared in order of creation, so that leaving the run by any way releases them in reverse.
  ComReference<IDirectDraw7> directDraw;
  ComReference<IDirectDrawSurface7> primarySurface;
  ComReference<IDirectDrawSurface7> sysMemSurface;
  if (!OpenDevice(state, directDraw)) return;
  if (!CreatePrimarySurface(state, directDraw.Get(), primarySurface)) return;
  // SysMemBuffer backs the system-memory surface and is never freed: it outlives every reference.
  if (!CreateSysMemSurface(state, directDraw.Get(), sysMemSurface)) return;

  state.FillValue = 0;
  if (state.PerfTests) SysMemTests(state);
  TestBlt(primarySurface.Get(), sysMemSurface.Get(), bltToSysCount, "VideoMem To SysMem Blt", state);
  TestBlt(sysMemSurface.Get(), primarySurface.Get(), state.TestCount, "SysMem To VideoMem Blt", state);

  if (!LockPrimary(state, primarySurface.Get())) return;
  if (state.PerfTests) VideoMemTests(state);
  UnlockPrimary(state, primarySurface.Get());
}

void ProgramMain() {
  if (UsageRequested()) {
    WriteUsage();
    return;
  }
  const platform::FailedCall failed = platform::ConvertInterrupts();
  if (failed.function != nullptr) Raise(kExceptionClass, Format("%s fail [%d]", failed.function, failed.error));
  platform::ComInitialize();
  RunBenchmark();
  platform::ComUninitialize();
}

}  // namespace morvit
