// The display steps and the whole run in process, against the scripted DirectDraw double: which calls
// they make in which order, what they print, and that every reference goes back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "DirectDrawDouble.h"
#include "app/RunBenchmark.h"
#include "console/Failure.h"
#include "display/DeviceList.h"
#include "measure/MorvitUtl.h"
#include "support/CapturedOutput.h"

namespace morvit {
namespace {

namespace dd = ddraw_double;

// A small primary whose pitch is wider than its rows and whose size is an odd number of words.
const char kSmallSurface[] = "surface 5 3 28 32\n";

std::string* outputSink = nullptr;
std::string heldWrite;

// Every write the program makes goes into the double's record too, so that output and calls are
// seen in one order. A write of a full buffer is only part of a statement: it joins the next one.
int32_t WriteAndNote(const char* bytes, size_t count) {
  std::string text(bytes, count);
  outputSink->append(text);
  heldWrite += text;
  if (count == OutputChannel::kBufferSize) return 0;
  dd::Note("out " + heldWrite);
  heldWrite.clear();
  return 0;
}

struct Outcome {
  std::string output;
  bool failed = false;
  std::string failureClass;
  std::string message;
};

Outcome RunProgram(std::vector<std::string> arguments, const std::string& script = kSmallSurface) {
  dd::ConfigureFromText(script);
  Outcome outcome;
  {
    // A console flushes every statement, so that each one is noted where it happens.
    testing::CapturedOutput captured(platform::StreamKind::Character);
    outputSink = &outcome.output;
    platform::CurrentServices().writeStandardOutput = &WriteAndNote;
    SetProgramArguments(std::move(arguments));
    try {
      RunBenchmark();
    } catch (const Failure& failure) {
      outcome.failed = true;
      outcome.failureClass = failure.ClassName();
      outcome.message = failure.Message();
    }
    captured.Text();
    if (!heldWrite.empty()) dd::Note("out " + heldWrite);
    heldWrite.clear();
  }
  outputSink = nullptr;
  return outcome;
}

std::string Field(const std::string& line, const std::string& key) {
  size_t at = line.find(" " + key + "=");
  if (at == std::string::npos) return "";
  at += key.size() + 2;
  return line.substr(at, line.find(' ', at) - at);
}

bool IsCall(const std::string& line) { return !line.empty() && line[0] >= '0' && line[0] <= '9'; }

std::string CallName(const std::string& line) {
  size_t start = line.find(' ') + 1;
  return line.substr(start, line.find(' ', start) - start);
}

// The record as steps: calls with the arguments that matter here, BeginTest and EndTest as the output
// shows them, and other output lines. Reference counting and device callbacks are left out.
std::vector<std::string> Steps() {
  static const std::regex begin(R"(out (.*) \(Secs, Bytes/s\): *)");
  static const std::regex end(R"(out +-?\d+\.\d{4} .*\r\n)");
  std::vector<std::string> steps;
  for (const std::string& line : dd::Record()) {
    if (IsCall(line)) {
      std::string name = CallName(line);
      if (name == "Blt") {
        steps.push_back("Blt " + Field(line, "target") + "<-" + Field(line, "source") + " " + Field(line, "flags"));
      } else if (name == "Lock" || name == "Unlock") {
        steps.push_back(name + " " + Field(line, "surface"));
      } else {
        steps.push_back(name);
      }
    } else if (line.rfind("# out ", 0) == 0) {
      std::smatch match;
      std::string text = line.substr(2);
      if (std::regex_match(text, match, begin)) {
        steps.push_back("Begin " + match[1].str());
      } else if (std::regex_match(text, end)) {
        steps.push_back("End");
      } else if (text.find("Warning") == std::string::npos) {
        if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
        steps.push_back(text);
      }
    }
  }
  return steps;
}

// The steps of the two blit tests: from the first blit up to the primary lock's line.
std::vector<std::string> BlitSteps() {
  std::vector<std::string> all = Steps();
  std::vector<std::string> window;
  bool inside = false;
  for (const std::string& step : all) {
    if (step.rfind("Blt ", 0) == 0) inside = true;
    if (step.rfind("out Primary.Lock: ", 0) == 0) break;
    if (inside) window.push_back(step);
  }
  // The primary lock of the run itself is no blit-test step.
  if (!window.empty() && window.back() == "Lock primary") window.pop_back();
  return window;
}

std::vector<std::string> Repeat(int times, const std::vector<std::string>& steps) {
  std::vector<std::string> out;
  for (int i = 0; i < times; ++i) out.insert(out.end(), steps.begin(), steps.end());
  return out;
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// Every object the double handed out was released to zero exactly once, in reverse order of
// creation, with no call on a destroyed object.
void ExpectReleasedInReverse(const std::string& context) {
  std::vector<std::string> created;
  std::vector<std::string> destroyed;
  for (const std::string& line : dd::Record()) {
    EXPECT_NE(line[0], '!') << context << ": " << line;
    if (IsCall(line) && line.find(" injected") == std::string::npos) {
      std::string name = CallName(line);
      if (name == "DirectDrawCreateEx" && !Field(line, "directdraw").empty()) created.push_back(Field(line, "directdraw"));
      if (name == "CreateSurface" && !Field(line, "surface").empty()) created.push_back(Field(line, "surface"));
    }
    if (line.rfind("- Release ", 0) == 0 && line.compare(line.size() - 7, 7, " refs=0") == 0) {
      destroyed.push_back(line.substr(line.find('=') + 1, line.rfind(" refs=") - line.find('=') - 1));
    }
  }
  EXPECT_EQ(destroyed, std::vector<std::string>(created.rbegin(), created.rend())) << context;
  EXPECT_EQ(dd::LiveObjects(), std::vector<std::string>{}) << context;
}

class DisplayRun : public ::testing::Test {
 protected:
  void TearDown() override { ExpectReleasedInReverse("after the test"); }
};

TEST_F(DisplayRun, BlitTestsWaitOnSourceThenTargetAndBlitWithoutWaitingInTheLoop) {
  Outcome outcome = RunProgram({"2", "3", "4"});
  ASSERT_FALSE(outcome.failed) << outcome.message;
  EXPECT_EQ(BlitSteps(),
            Join({{"Blt sysmem<-primary 01000000", "Lock primary", "Unlock primary", "Lock sysmem", "Unlock sysmem",
                   "Begin VideoMem To SysMem Blt"},
                  Repeat(4, {"Blt sysmem<-primary 08000000"}),
                  {"Lock sysmem", "Unlock sysmem", "End"},
                  {"Blt primary<-sysmem 01000000", "Lock sysmem", "Unlock sysmem", "Lock primary", "Unlock primary",
                   "Begin SysMem To VideoMem Blt"},
                  Repeat(2, {"Blt primary<-sysmem 08000000"}),
                  {"Lock primary", "Unlock primary", "End"}}));
}

TEST_F(DisplayRun, WaitAfterBlitWaitsOnTheTargetBeforeEveryBlitAndOnceAfter) {
  Outcome outcome = RunProgram({"1", "1", "2", "/W"});
  ASSERT_FALSE(outcome.failed) << outcome.message;
  EXPECT_EQ(BlitSteps(),
            Join({{"Blt sysmem<-primary 01000000", "Lock primary", "Unlock primary", "Lock sysmem", "Unlock sysmem",
                   "Begin VideoMem To SysMem Blt"},
                  Repeat(2, {"Lock sysmem", "Unlock sysmem", "Blt sysmem<-primary 01000000"}),
                  {"Lock sysmem", "Unlock sysmem", "End"},
                  {"Blt primary<-sysmem 01000000", "Lock sysmem", "Unlock sysmem", "Lock primary", "Unlock primary",
                   "Begin SysMem To VideoMem Blt"},
                  {"Lock primary", "Unlock primary", "Blt primary<-sysmem 01000000"},
                  {"Lock primary", "Unlock primary", "End"}}));
}

TEST_F(DisplayRun, CountsOfZeroAndOneStillWaitAndTime) {
  Outcome outcome = RunProgram({"1", "1", "0"});
  ASSERT_FALSE(outcome.failed) << outcome.message;
  EXPECT_EQ(BlitSteps(),
            Join({{"Blt sysmem<-primary 01000000", "Lock primary", "Unlock primary", "Lock sysmem", "Unlock sysmem",
                   "Begin VideoMem To SysMem Blt", "Lock sysmem", "Unlock sysmem", "End"},
                  {"Blt primary<-sysmem 01000000", "Lock sysmem", "Unlock sysmem", "Lock primary", "Unlock primary",
                   "Begin SysMem To VideoMem Blt", "Blt primary<-sysmem 08000000", "Lock primary", "Unlock primary",
                   "End"}}));
  RunProgram({"1", "1", "-3"});
  EXPECT_EQ(BlitSteps()[6], "Lock sysmem") << "a negative count makes no timed blit";
}

TEST_F(DisplayRun, InformationOnlyMakesOneBlitPerTestAndPrintsEveryStep) {
  Outcome outcome = RunProgram({"/I"});
  ASSERT_FALSE(outcome.failed) << outcome.message;
  std::vector<std::string> calls;
  std::string address;
  for (const std::string& line : dd::Record()) {
    if (!IsCall(line)) continue;
    calls.push_back(CallName(line));
    if (CallName(line) == "Lock") address = Field(line, "memory");
  }
  EXPECT_EQ(calls, (std::vector<std::string>{"DirectDrawEnumerateExA", "DirectDrawCreateEx", "SetCooperativeLevel",
                                             "CreateSurface", "GetSurfaceDesc", "CreateSurface", "Blt", "Blt", "Lock",
                                             "Unlock"}));
  EXPECT_EQ(BlitSteps(), (std::vector<std::string>{"Blt sysmem<-primary 01000000", "out VideoMem To SysMem Blt: OK",
                                                   "Blt primary<-sysmem 01000000", "out SysMem To VideoMem Blt: OK"}));
  EXPECT_EQ(outcome.output,
            "DirectDraw 7 Version\r\n"
            "Attached Device Enumeration:\r\n"
            "  Driver 0: display\r\n"
            "  Description: DirectDraw HAL\r\n"
            "  GUID: No\r\n"
            "\r\n"
            "  Driver 1: \\\\.\\DISPLAY1\r\n"
            "  Description: WineD3D DirectDraw Emulation\r\n"
            "  GUID: {4D4F5256-4954-11D2-8000-444953504C31}\r\n"
            "\r\n"
            "DirectDrawCreateEx({00000000-0000-0000-0000-000000000000},IID_IDirectDraw7): OK\r\n"
            "PrimarySurface: OK\r\n"
            "  Resolution: 5 x 3 x 32bpp\r\n"
            "SysMemSurface (5 x 3, 32bpp): OK\r\n"
            "VideoMem To SysMem Blt: OK\r\n"
            "SysMem To VideoMem Blt: OK\r\n"
            "Primary.Lock: OK\r\n"
            "  Pitch: 28\r\n"
            "  Virtual Address: " +
                address +
                "\r\n"
                "Primary.UnLock: OK\r\n");
}

TEST_F(DisplayRun, EveryCallPassesTheArgumentsOfThePlatformInterface) {
  RunProgram({"1", "1", "1"});
  const std::vector<std::string>& record = dd::Record();
  auto has = [&](const std::string& text) {
    for (const std::string& line : record) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  };
  EXPECT_TRUE(has(" DirectDrawEnumerateExA context=null flags=00000001 -> 00000000"));
  EXPECT_TRUE(has(" DirectDrawCreateEx guid={00000000-0000-0000-0000-000000000000} iid=IID_IDirectDraw7 outer=null"));
  EXPECT_TRUE(has(" SetCooperativeLevel directdraw=ddraw window=null flags=00000008 -> 00000000"));
  EXPECT_TRUE(has(" CreateSurface directdraw=ddraw size=124 flags=00000001 caps=00000200 outer=null -> 00000000"));
  EXPECT_TRUE(has(" GetSurfaceDesc surface=primary size=124 -> 00000000"));
  EXPECT_TRUE(has(" CreateSurface directdraw=ddraw size=124 flags=0000180F caps=00000840 outer=null width=5 height=3 "
                  "pitch=28 bpp=32 memory="));
  for (const std::string& line : record) {
    if (!IsCall(line)) continue;
    std::string name = CallName(line);
    std::string expected = name == "Blt"      ? " rect=null srcrect=null fx=null -> 00000000 bytes=84 "
                           : name == "Lock"   ? " rect=null flags=00000801 event=null size=124 -> 00000000"
                           : name == "Unlock" ? " rect=null -> 00000000"
                                              : " -> ";
    EXPECT_NE(line.find(expected), std::string::npos) << line;
  }
  EXPECT_EQ(dd::LastCreateGuidAddress(), static_cast<const void*>(&SelectedGuid))
      << "the device is opened through the address of the (zero) selection, never a null one";
}

TEST_F(DisplayRun, BlitsCarryTheScreenToSystemMemoryAndBack) {
  RunProgram({"/I"});
  std::vector<std::string> sums;
  for (const std::string& line : dd::Record()) {
    if (IsCall(line) && CallName(line) == "Blt") sums.push_back(Field(line, "sum"));
  }
  ASSERT_EQ(sums.size(), 2u);
  // The system-memory surface is the program's own buffer: what came from the screen goes back.
  EXPECT_EQ(sums[0], sums[1]);
  EXPECT_NE(sums[0], "00000000");
}

TEST_F(DisplayRun, AnUntimedBlitThatFailsIsPrintedAndTheRunGoesOn) {
  // Call 7 is the first blit: listing, creation, cooperative level, two surfaces and a description before it.
  Outcome outcome = RunProgram({"1", "1", "1"}, std::string(kSmallSurface) + "fail 7 887601C2\n");
  ASSERT_FALSE(outcome.failed) << outcome.message;
  std::vector<std::string> steps = BlitSteps();
  ASSERT_GE(steps.size(), 3u);
  EXPECT_EQ(steps[0], "Blt sysmem<-primary 01000000");
  EXPECT_EQ(steps[1],
            "out VideoMem To SysMem Blt: 887601C2h Access to this surface is being refused because the surface memory "
            "is gone. The DirectDrawSurface object representing this surface should have Restore called on it.");
  EXPECT_EQ(steps[2], "Blt primary<-sysmem 01000000");
  EXPECT_NE(outcome.output.find("\r\nPrimary.UnLock: OK\r\n"), std::string::npos);
}

TEST_F(DisplayRun, AnUntimedBlitWithAnotherSuccessCodeCountsAsSuccess) {
  Outcome outcome = RunProgram({"1", "1", "1"}, std::string(kSmallSurface) + "success-code 7 0000000A\n");
  ASSERT_FALSE(outcome.failed) << outcome.message;
  std::vector<std::string> steps = BlitSteps();
  ASSERT_GE(steps.size(), 6u);
  EXPECT_EQ(steps[5], "Begin VideoMem To SysMem Blt");
  EXPECT_EQ(outcome.output.find("Blt: "), std::string::npos) << "no result line";
}

TEST_F(DisplayRun, ABlitStillDrawingEndsTheRunWithoutWaitingForTheOthers) {
  // Calls 8 to 11 are the two waits, 12 the first timed blit.
  Outcome outcome = RunProgram({"2", "2", "3"}, std::string(kSmallSurface) + "fail 13 8876021C\n");
  ASSERT_TRUE(outcome.failed);
  EXPECT_EQ(outcome.failureClass, "Exception");
  EXPECT_EQ(outcome.message,
            "Test Blt Fail 8876021Ch Informs DirectDraw that the previous Blt which is transfering information to or "
            "from this Surface is incomplete.");
  const std::string label = "VideoMem To SysMem Blt (Secs, Bytes/s): ";
  EXPECT_EQ(outcome.output.substr(outcome.output.size() - label.size() - 4), label + "    ")
      << "the report line stays open";
  std::vector<std::string> steps = BlitSteps();
  EXPECT_EQ(steps.back(), "Blt sysmem<-primary 08000000");
  EXPECT_EQ(std::count(steps.begin(), steps.end(), "Blt sysmem<-primary 08000000"), 2);
}

TEST_F(DisplayRun, FailuresOfTheWaitEndTheRunWithTheirMessage) {
  Outcome lock = RunProgram({"1", "1", "1"}, std::string(kSmallSurface) + "fail 8 887601AE\n");
  EXPECT_TRUE(lock.failed);
  EXPECT_EQ(lock.message,
            "WaitForOpComplete Lock Fail [887601AEh Access to this surface is being refused because the surface is "
            "already locked by another thread.]");
  ExpectReleasedInReverse("lock");
  Outcome unlock = RunProgram({"1", "1", "1"}, std::string(kSmallSurface) + "fail 9 88760248\n");
  EXPECT_TRUE(unlock.failed);
  EXPECT_EQ(unlock.message,
            "WaitForOpComplete UnLock Fail [88760248h Surface was not locked.  An attempt to unlock a surface that was "
            "not locked at all, or by this process, has been attempted.]");
}

struct Device {
  const char* script;
  const char* block;
};

const Device kDevices[] = {
    {"device none Primary%20Driver display\n", "  Driver 0: display\r\n  Description: Primary Driver\r\n  GUID: No\r\n\r\n"},
    {"device {11111111-2222-3333-4455-66778899AABB} Second \\\\.\\DISPLAY1\n",
     "  Driver 1: \\\\.\\DISPLAY1\r\n  Description: Second\r\n  GUID: {11111111-2222-3333-4455-66778899AABB}\r\n\r\n"},
    {"device {A1B2C3D4-0102-0304-0506-0708090A0B0C} Third%20one DISPLAY2\n",
     "  Driver 2: DISPLAY2\r\n  Description: Third one\r\n  GUID: {A1B2C3D4-0102-0304-0506-0708090A0B0C}\r\n\r\n"},
};

std::string DeviceScript() {
  std::string script;
  for (const Device& device : kDevices) script += device.script;
  return script;
}

TEST(DeviceListing, NumbersFromZeroAndEndsEveryBlockWithAnEmptyLine) {
  dd::ConfigureFromText(DeviceScript());
  testing::CapturedOutput captured;
  DeviceNumber = -1;
  ListDevices();
  EXPECT_EQ(captured.Text(), std::string(kDevices[0].block) + kDevices[1].block + kDevices[2].block);
  EXPECT_EQ(DeviceCounter, 2);
  const std::vector<std::string> expected = {
      "1 DirectDrawEnumerateExA context=null flags=00000001 -> 00000000 devices=3",
      "- EnumCallback device=0 -> FFFFFFFF", "- EnumCallback device=1 -> FFFFFFFF",
      "- EnumCallback device=2 -> FFFFFFFF"};
  EXPECT_EQ(dd::Record(), expected);
}

TEST(DeviceListing, SelectsOnlyADeviceWithAGuidByItsNumber) {
  const GUID zero = {};
  const GUID second = {0x11111111, 0x2222, 0x3333, {0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB}};
  const GUID third = {0xA1B2C3D4, 0x0102, 0x0304, {0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C}};
  struct Case {
    int32_t number;
    const GUID* selected;
  } cases[] = {{-1, &zero}, {0, &zero}, {1, &second}, {2, &third}, {3, &zero}, {-2, &zero}, {1000, &zero}};
  for (const Case& c : cases) {
    dd::ConfigureFromText(DeviceScript());
    testing::CapturedOutput captured;
    // Left over from an earlier selection, it must not survive the listing.
    std::memset(&SelectedGuid, 0x5A, sizeof SelectedGuid);
    DeviceNumber = c.number;
    ListDevices();
    EXPECT_EQ(std::memcmp(&SelectedGuid, c.selected, sizeof SelectedGuid), 0) << "/D" << c.number;
    EXPECT_EQ(captured.Text(), std::string(kDevices[0].block) + kDevices[1].block + kDevices[2].block) << c.number;
  }
}

TEST(DeviceListing, ASingleDeviceAndNone) {
  dd::ConfigureFromText(kDevices[0].script);
  {
    testing::CapturedOutput captured;
    ListDevices();
    EXPECT_EQ(captured.Text(), kDevices[0].block);
    EXPECT_EQ(DeviceCounter, 0);
  }
  dd::ConfigureFromText("no-devices\n");
  testing::CapturedOutput captured;
  ListDevices();
  EXPECT_EQ(captured.Text(), "");
  EXPECT_EQ(DeviceCounter, -1);
}

TEST(DeviceListing, AnOutputErrorInTheCallbackStopsTheListingAndIsRaisedAfterIt) {
  dd::ConfigureFromText(DeviceScript());
  testing::CapturedOutput captured(platform::StreamKind::Character);
  captured.FailWrites(1, 1000, platform::io_error::kDiskFull);
  DeviceNumber = -1;
  try {
    ListDevices();
    ADD_FAILURE() << "no failure raised";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.ClassName(), "EInOutError");
  }
  // The callback returned "stop" instead of letting the failure unwind through the platform's frames.
  EXPECT_EQ(dd::Record(), (std::vector<std::string>{
                              "1 DirectDrawEnumerateExA context=null flags=00000001 -> 00000000 devices=3",
                              "- EnumCallback device=0 -> 00000000"}));
}

TEST_F(DisplayRun, DeviceSwitchOpensTheSelectedDevice) {
  struct Case {
    const char* argument;
    const char* guid;
    const char* device;
  } cases[] = {{"/D1", "{11111111-2222-3333-4455-66778899AABB}", "1"},
               {"/D2", "{A1B2C3D4-0102-0304-0506-0708090A0B0C}", "2"},
               {"/D0", "{00000000-0000-0000-0000-000000000000}", "default"},
               {"/D3", "{00000000-0000-0000-0000-000000000000}", "default"},
               {"/D-1", "{00000000-0000-0000-0000-000000000000}", "default"}};
  for (const Case& c : cases) {
    Outcome outcome = RunProgram({"/I", c.argument}, DeviceScript() + kSmallSurface);
    EXPECT_NE(outcome.output.find(std::string("\r\nDirectDrawCreateEx(") + c.guid + ",IID_IDirectDraw7): OK\r\n"),
              std::string::npos)
        << c.argument;
    std::string created;
    for (const std::string& line : dd::Record()) {
      if (IsCall(line) && CallName(line) == "DirectDrawCreateEx") created = Field(line, "device");
    }
    EXPECT_EQ(created, c.device) << c.argument;
    EXPECT_EQ(dd::LastCreateGuidAddress(), static_cast<const void*>(&SelectedGuid)) << c.argument;
    ExpectReleasedInReverse(c.argument);
  }
}

// The outcome a failure of one call must have, by the call and the surface it was made on.
std::string ExpectedOutcome(const std::string& injected, const Outcome& outcome, const std::string& code) {
  std::string name = CallName(injected);
  auto endsWith = [&](const std::string& tail) {
    return outcome.output.size() >= tail.size() &&
           outcome.output.compare(outcome.output.size() - tail.size(), tail.size(), tail) == 0;
  };
  const std::string text = code + "h Generic failure.";
  const bool completed = !outcome.failed && endsWith("\r\nPrimary.UnLock: OK\r\n");
  if (name == "DirectDrawEnumerateExA") {
    // Its result is not examined: nothing is listed and the run goes on.
    return completed && outcome.output.find("Attached Device Enumeration:\r\nDirectDrawCreateEx(") != std::string::npos
               ? "" : "listing";
  }
  if (name == "DirectDrawCreateEx") {
    return !outcome.failed && endsWith("IID_IDirectDraw7): " + text + "\r\n") ? "" : "creation";
  }
  if (name == "SetCooperativeLevel") return completed ? "" : "cooperative level";
  if (name == "CreateSurface") {
    bool primary = Field(injected, "caps") == "00000200";
    if (primary) return !outcome.failed && endsWith("\r\nPrimarySurface: " + text + "\r\n") ? "" : "primary";
    return !outcome.failed && endsWith("\r\nSysMemSurface (5 x 3, 32bpp): " + text + "\r\n") ? "" : "sysmem";
  }
  if (name == "GetSurfaceDesc") {
    // Not examined: the zeroed description asks for an empty buffer, which VirtualAlloc refuses, and an
    // empty system-memory surface, which the double refuses.
    if (outcome.failed) return outcome.message == "GetMem fail [Size = 0]" ? "" : "description";
    return endsWith("\r\n  Resolution: 0 x 0 x 0bpp\r\nSysMemSurface (0 x 0, 0bpp): 80070057h One "
                                       "or more of the parameters passed to the function are incorrect.\r\n")
               ? "" : "description";
  }
  if (name == "Blt") {
    if (Field(injected, "flags") == "08000000") {
      return outcome.failed && outcome.message == "Test Blt Fail " + text ? "" : "timed blit";
    }
    // An untimed blit is printed and the run goes on; under /W a timed blit waits too, and raises.
    if (outcome.failed) return outcome.message == "Test Blt Fail " + text ? "" : "waiting blit";
    return completed && outcome.output.find(" Blt: " + text + "\r\n") != std::string::npos ? "" : "untimed blit";
  }
  if (name == "Lock" || name == "Unlock") {
    if (outcome.failed) {
      std::string expected = "WaitForOpComplete " + std::string(name == "Lock" ? "Lock" : "UnLock") + " Fail [" + text + "]";
      return outcome.message == expected ? "" : "wait";
    }
    if (name == "Lock") return endsWith("\r\nPrimary.Lock: " + text + "\r\n") ? "" : "primary lock";
    return endsWith("\r\nPrimary.UnLock: " + text + "\r\n") ? "" : "primary unlock";
  }
  return "unexpected call " + name;
}

class FaultInjection : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(FaultInjection, EveryCallFailingInTurnEndsAsItShouldAndReleasesEverything) {
  int failures = 0;
  for (int call = 1; call < 500; ++call) {
    std::string script = std::string(kSmallSurface) + "fail " + std::to_string(call) + " 80004005\n";
    Outcome outcome = RunProgram(GetParam(), script);
    if (!dd::FailureFired()) break;
    ++failures;
    std::string injected;
    for (const std::string& line : dd::Record()) {
      if (IsCall(line) && line.find(" injected") != std::string::npos) injected = line;
    }
    SCOPED_TRACE(injected);
    EXPECT_EQ(ExpectedOutcome(injected, outcome, "80004005"), "") << outcome.output << outcome.message;
    if (outcome.failed) {
      EXPECT_EQ(outcome.failureClass, "Exception");
    }
    ExpectReleasedInReverse(injected);
  }
  EXPECT_GE(failures, 10);
  EXPECT_LT(failures, 499) << "a failure fired at every call number";
}

INSTANTIATE_TEST_SUITE_P(Runs, FaultInjection,
                         ::testing::Values(std::vector<std::string>{"2", "2", "2"},
                                           std::vector<std::string>{"1", "1", "2", "/W"},
                                           std::vector<std::string>{"/I"}, std::vector<std::string>{"1", "1", "1", "/Q"}));

}  // namespace
}  // namespace morvit
