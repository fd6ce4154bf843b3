#include "app/RunBenchmark.h"

#include <cstring>

#include "app/CommandLine.h"
#include "app/RunState.h"
#include "console/OutputChannel.h"
#include "platform/Platform.h"

namespace morvit {

namespace {

void WriteLine(const char* text) {
  OutputChannel& out = Output();
  out.WriteZText(text);
  out.EndLine();
  out.CheckOutput();
}

void WriteSettingsEcho(const RunState& state, int32_t bltToSysCount) {
  OutputChannel& out = Output();
  out.WriteZText("TestCount = ");
  out.WriteInt(state.TestCount);
  out.EndStatement();
  out.CheckOutput();
  if (state.ReadCount != state.TestCount) {
    out.WriteZText("; ReadCount = ");
    out.WriteInt(state.ReadCount);
    out.EndStatement();
    out.CheckOutput();
  }
  // Compared with ReadCount, not TestCount.
  if (bltToSysCount != state.ReadCount) {
    out.WriteZText("; BltToSysCount = ");
    out.WriteInt(bltToSysCount);
    out.EndStatement();
    out.CheckOutput();
  }
  out.EndLine();
  out.CheckOutput();
  out.WriteZText("Wait after every blit: ");
  out.WriteBool(state.WaitAfterBlit);
  out.EndLine();
  out.CheckOutput();
  out.WriteZText("QWord Routines: ");
  out.WriteBool(state.QWordRoutines);
  out.EndLine();
  out.CheckOutput();
  out.EndLine();
  out.CheckOutput();
}

}  // namespace

void RunBenchmark() {
  RunState state;
  std::memset(&state, 0, sizeof state);
  int32_t bltToSysCount = 0;

  WriteLine("DirectDraw 7 Version");
  ReadSettings(state, bltToSysCount);
  state.TimeWarningPending = true;
  if (state.PerfTests) WriteSettingsEcho(state, bltToSysCount);
  WriteLine("Attached Device Enumeration:");
}

void ProgramMain() {
  if (UsageRequested()) {
    WriteUsage();
    return;
  }
  platform::ComInitialize();
  RunBenchmark();
  platform::ComUninitialize();
}

}  // namespace morvit
