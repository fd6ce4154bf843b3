// Every DirectDraw call of whole runs, with its arguments and result, which the output cannot show: the
// program's own run sequence, in this process, against the double linked into the test and found among
// its exports as MORVIT finds it. Each counter read is noted among the calls, so the record also shows
// the order of waits and blits around the timed spans.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/RunBenchmark.h"
#include "console/FailureReport.h"
#include "measure/ProgramArguments.h"
#include "unit/FakePlatform.h"

extern "C" void NoteInRecord(const char* line);  // the double's
extern "C" void RestartDouble();

namespace morvit {
namespace {

using Calls = std::vector<std::string>;

const std::string kScript = testing::TempDir() + "ddraw-script";
const std::string kRecord = testing::TempDir() + "ddraw-record";

struct RecordedRun {
  Calls calls;         // the record's lines, calls without their numbers
  std::string raised;  // "Class: message", or empty
};

// RunBenchmark with these arguments against the double with this script; the fake platform gives the
// counter, which ticks once per read, and standard output.
RecordedRun RunAgainstTheDouble(const std::vector<std::string>& arguments, const std::string& script,
                                FakePlatform& fake) {
  std::ofstream(kScript) << script;
  setenv("MORVIT_DDRAW_SCRIPT", kScript.c_str(), 1);
  setenv("MORVIT_DDRAW_LOG", kRecord.c_str(), 1);
  RestartDouble();
  fake.Services().queryCounter = [] {
    static int64_t tick = 0;
    NoteInRecord("counter");
    tick += 1;
    return tick;
  };
  fake.Services().queryFrequency = [](int64_t& ticksPerSecond) {
    ticksPerSecond = 1000;
    return true;
  };
  SetProgramArguments(arguments);
  // A call on an object that is not there is an access violation raised, not the end of the test program.
  InstallFailureHandlers();
  platform::FaultConversion faultConversion;
  RecordedRun run;
  run.raised = Raised([] { RunBenchmark(); });
  std::ifstream record(kRecord);
  for (std::string line; std::getline(record, line);) {
    if (!line.empty() && line[0] >= '0' && line[0] <= '9') line = line.substr(line.find(' ') + 1);
    run.calls.push_back(line);
  }
  return run;
}

// Empty when the calls are the expected ones; else the first place where they part.
std::string FirstDifference(const Calls& calls, const Calls& expected) {
  size_t line = 0;
  while (line < calls.size() && line < expected.size() && calls[line] == expected[line]) line += 1;
  if (line == calls.size() && line == expected.size()) return "";
  std::string found = "nothing";
  std::string wanted = "nothing";
  if (line < calls.size()) found = '"' + calls[line] + '"';
  if (line < expected.size()) wanted = '"' + expected[line] + '"';
  return "line " + std::to_string(line + 1) + ": " + found + " where " + wanted + " belongs";
}

const char* const kZeroGuid = "{00000000-0000-0000-0000-000000000000}";
const char* const kDeviceGuid = "{4D4F5256-4954-11D2-8000-444953504C31}";  // the double's second device
const std::string kOk = " -> 00000000";

// The listing, the device object through the given GUID and the primary surface.
Calls Opening(const std::string& guid) {
  return {
      "DirectDrawEnumerateExA - callback=set context=null flags=DDENUM_ATTACHEDSECONDARYDEVICES" + kOk,
      "DirectDrawCreateEx - guid=" + guid + " iid=IID_IDirectDraw7 outer=null" + kOk,
      "+ ddraw",
      "SetCooperativeLevel ddraw window=null flags=DDSCL_NORMAL" + kOk,
      "CreateSurface ddraw size=124 flags=DDSD_CAPS caps=DDSCAPS_PRIMARYSURFACE outer=null" + kOk,
      "+ primary",
      "GetSurfaceDesc primary size=124" + kOk,
  };
}

// The system-memory surface over the program's buffer, with the primary's geometry (the script's 64 x 8,
// pitch 320) and format.
Calls SysMemSurface() {
  return {
      "CreateSurface ddraw size=124 flags=DDSD_CAPS|DDSD_HEIGHT|DDSD_WIDTH|DDSD_PITCH|DDSD_LPSURFACE|"
      "DDSD_PIXELFORMAT caps=DDSCAPS_OFFSCREENPLAIN|DDSCAPS_SYSTEMMEMORY width=64 height=8 pitch=320 "
      "format=32bpp memory=set outer=null" +
          kOk,
      "+ sysmem",
  };
}

Calls Blit(const std::string& targetAndSource, const std::string& flags) {
  return {"Blt " + targetAndSource + " dest=null source-rect=null flags=" + flags + " fx=null" + kOk};
}

// WaitForOpComplete: a waiting lock and its unlock.
Calls Wait(const std::string& surface) {
  return {"Lock " + surface + " rect=null size=124 flags=DDLOCK_WAIT|DDLOCK_NOSYSLOCK event=null" + kOk,
          "Unlock " + surface + " rect=null" + kOk};
}

// A call's line with another result than DD_OK.
std::string Returning(const std::string& call, const std::string& result) {
  return call.substr(0, call.size() - kOk.size()) + " -> " + result;
}

Calls Counters(int reads) { return Calls(static_cast<size_t>(reads), "counter"); }

// A timed blit test after its untimed blit: both surfaces waited for, then inside the span the blits, each
// after a wait on the target with /W, and a closing wait on the target.
Calls TimedBlits(const std::string& target, const std::string& source, int count, bool waitAfterBlit) {
  const std::string targetAndSource = target + "<" + source;
  std::vector<Calls> parts = {Blit(targetAndSource, "DDBLT_WAIT"), Wait(source), Wait(target), Counters(1)};
  for (int i = 0; i < count; ++i) {
    if (waitAfterBlit) {
      parts.push_back(Wait(target));
      parts.push_back(Blit(targetAndSource, "DDBLT_WAIT"));
    } else {
      parts.push_back(Blit(targetAndSource, "DDBLT_DONOTWAIT"));
    }
  }
  parts.push_back(Wait(target));
  parts.push_back(Counters(1));
  return Joined(parts);
}

// The primary locked for the video-memory tests (given their counter reads) and unlocked.
Calls LockedPrimary(int counterReads) {
  return Joined({{"Lock primary rect=null size=124 flags=DDLOCK_WAIT|DDLOCK_NOSYSLOCK event=null" + kOk},
                 Counters(counterReads),
                 {"Unlock primary rect=null" + kOk}});
}

// The clean-up step: references released in reverse order of creation.
const Calls kReleasedAll = {"- sysmem", "- primary", "- ddraw"};

const char* const kSmallScreen = "surface 64 8 320 32\n";

struct RunCase {
  const char* name;
  std::vector<std::string> arguments;
  std::string script;
  Calls calls;
  const char* raised;
};

TEST(DirectDrawCalls, WholeRuns) {
  // Three memory tests and four video-memory tests, each read the counter twice.
  const int sysMemReads = 6;
  const int videoMemReads = 8;
  const RunCase cases[] = {
      // The zero GUID of no /D: the performance runs.
      {"/I /D1: one untimed blit each way, the lock and the unlock; the second device opened through its GUID",
       {"/I", "/D1"},
       kSmallScreen,
       Joined({Opening(kDeviceGuid), SysMemSurface(), Blit("sysmem<primary", "DDBLT_WAIT"),
               Blit("primary<sysmem", "DDBLT_WAIT"), LockedPrimary(0), kReleasedAll}),
       ""},
      {"2 1 1: blits that do not wait, BltToSysCount to system memory and TestCount back",
       {"2", "1", "1"},
       kSmallScreen,
       Joined({Opening(kZeroGuid), SysMemSurface(), Counters(sysMemReads), TimedBlits("sysmem", "primary", 1, false),
               TimedBlits("primary", "sysmem", 2, false), LockedPrimary(videoMemReads), kReleasedAll}),
       ""},
      {"2 1 2 /W: a wait on the target before every blit",
       {"2", "1", "2", "/W"},
       kSmallScreen,
       Joined({Opening(kZeroGuid), SysMemSurface(), Counters(sysMemReads), TimedBlits("sysmem", "primary", 2, true),
               TimedBlits("primary", "sysmem", 2, true), LockedPrimary(videoMemReads), kReleasedAll}),
       ""},
      {"a success code with no device object: nothing to call, the run ends",
       {"/I"},
       "fail DirectDrawCreateEx - 1 00000001\n",
       {Opening(kZeroGuid)[0], Returning(Opening(kZeroGuid)[1], "00000001")},
       ""},
      {"a success code with no primary: the run ends",
       {"/I"},
       "fail CreateSurface ddraw 1 00000001\n",
       {Opening(kZeroGuid)[0], Opening(kZeroGuid)[1], "+ ddraw", Opening(kZeroGuid)[3],
        Returning(Opening(kZeroGuid)[4], "00000001"), "- ddraw"},
       ""},
      {"a success code with no system-memory surface: the run ends",
       {"/I"},
       std::string(kSmallScreen) + "fail CreateSurface ddraw 2 00000001\n",
       Joined({Opening(kZeroGuid), {Returning(SysMemSurface()[0], "00000001")}, {"- primary", "- ddraw"}}),
       ""},
  };
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fake;
    const RecordedRun run = RunAgainstTheDouble(c.arguments, c.script, fake);
    EXPECT_EQ(FirstDifference(run.calls, c.calls), "");
    EXPECT_EQ(run.raised, c.raised);
  }
}

// A failure raised while the callback reports a device cannot pass through ddraw.dll's frames: the
// callback keeps it, stops the listing, and the run raises it once DirectDrawEnumerateExA has returned.
std::string listed;  // what the listing wrote before and after its failed line

TEST(DirectDrawCalls, FailureInsideTheEnumerationCallback) {
  FakePlatform fake;
  fake.Services().openStandardOutput = [] { return platform::StandardOutput{true, platform::StreamKind::Character}; };
  // The first device's first line meets a full disk; the second device must not be reported after it.
  listed.clear();
  fake.Services().writeStandardOutput = [](const char* bytes, size_t count) {
    const std::string text(bytes, count);
    if (text.rfind("  Driver 0", 0) == 0) return 112;
    listed += text;
    return 0;
  };
  const RecordedRun run = RunAgainstTheDouble({"/I"}, "", fake);
  EXPECT_EQ(FirstDifference(run.calls, {Opening(kZeroGuid)[0]}), "");
  EXPECT_EQ(run.raised, "EInOutError: I/O error 112");
  EXPECT_EQ(listed.find("Driver 1"), std::string::npos) << "the listing goes on after the failure: " << listed;
}

}  // namespace
}  // namespace morvit
