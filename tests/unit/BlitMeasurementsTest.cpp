// The order of a blit test's waits and blits around its two counter reads, which its output cannot show:
// the double's record of calls, with each counter read noted in it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/RunState.h"
#include "console/OutputChannel.h"
#include "display/BlitMeasurements.h"
#include "display/ComReference.h"
#include "display/DirectDraw.h"
#include "display/DirectDrawLibrary.h"
#include "display/Surfaces.h"
#include "platform/Platform.h"

extern "C" void NoteInRecord(const char* line);  // the double's

namespace morvit {
namespace {

using Calls = std::vector<std::string>;

const std::string kRecord = testing::TempDir() + "blit-record";

// The record's calls from the last "begin" on, without their numbers and their results (all DD_OK).
Calls CallsSinceBegin() {
  Calls calls;
  std::ifstream record(kRecord);
  for (std::string line; std::getline(record, line);) {
    if (line == "begin") calls.clear();
    if (line == "counter") calls.push_back(line);
    if (line.empty() || line[0] < '0' || line[0] > '9') continue;
    const size_t call = line.find(' ') + 1;
    calls.push_back(line.substr(call, line.rfind(" ->") - call));
  }
  return calls;
}

// WaitForOpComplete on a surface: a waiting lock and its unlock.
Calls Wait(const std::string& surface) { return {"Lock " + surface + " 00000801", "Unlock " + surface + " 00000000"}; }

struct BlitCase {
  const char* name;
  bool waitAfterBlit;
  Calls expected;
};

Calls Joined(const std::vector<Calls>& parts) {
  Calls joined;
  for (const Calls& part : parts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

TEST(TestBlt, WaitsAndBlitsAroundTheCounterReads) {
  const std::string toSys = "Blt sysmem<primary ";
  const BlitCase cases[] = {
      // Both surfaces are waited for before the start, the target again inside the span at its end.
      {"blits that do not wait", false,
       Joined({{toSys + "01000000"},
               Wait("primary"),
               Wait("sysmem"),
               {"counter"},
               {toSys + "08000000", toSys + "08000000"},
               Wait("sysmem"),
               {"counter"}})},
      {"a wait before every blit", true,
       Joined({{toSys + "01000000"},
               Wait("primary"),
               Wait("sysmem"),
               {"counter"},
               Wait("sysmem"),
               {toSys + "01000000"},
               Wait("sysmem"),
               {toSys + "01000000"},
               Wait("sysmem"),
               {"counter"}})},
  };
  setenv("MORVIT_DDRAW_LOG", kRecord.c_str(), 1);
  platform::Services& services = platform::CurrentServices();
  services.queryCounter = [] {
    static int64_t tick = 0;
    NoteInRecord("counter");
    return ++tick;
  };
  services.openStandardOutput = [] { return platform::StandardOutput{true, platform::StreamKind::Disk}; };
  services.writeStandardOutput = [](const char*, size_t) { return 0; };
  // The program's own steps open the double, found among the test program's exports, and make the surfaces.
  RunState made{};
  LoadDirectDraw();
  ComReference<IDirectDraw7> directDraw;
  ComReference<IDirectDrawSurface7> primary;
  ComReference<IDirectDrawSurface7> sysMem;
  ASSERT_TRUE(OpenDevice(made, directDraw));
  ASSERT_TRUE(CreatePrimarySurface(made, directDraw.Get(), primary));
  ASSERT_TRUE(CreateSysMemSurface(made, directDraw.Get(), sysMem));
  for (const BlitCase& c : cases) {
    SCOPED_TRACE(c.name);
    RunState state{};
    state.PerfTests = true;
    state.WaitAfterBlit = c.waitAfterBlit;
    state.Frequency = 1;
    Output().Reset();
    NoteInRecord("begin");
    TestBlt(primary.Get(), sysMem.Get(), 2, "VideoMem To SysMem Blt", state);
    EXPECT_EQ(CallsSinceBegin(), c.expected);
  }
  Output().Reset();
  platform::RestoreRealServices();
}

}  // namespace
}  // namespace morvit
