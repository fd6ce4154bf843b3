// What the memory tests do that their output cannot show: which kernel each pass calls, on which buffers and
// over how many elements, how many passes lie between the two counter reads, and which page buffers come
// and go. The link wraps the kernels (-Wl,--wrap) so that the tests' calls come here, where they are
// recorded instead of run: the kernels' own instructions are pinned by the build, which refuses kernels that are not
// their patterns.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/RunState.h"
#include "console/OutputChannel.h"
#include "measure/MemoryTestGroups.h"
#include "measure/MorvitUtl.h"
#include "platform/Platform.h"
#include "unit/FakePlatform.h"
#include "unit/WrappedKernels.h"

namespace morvit {
namespace {

using Events = std::vector<std::string>;
Events events;

// Stand-ins for the buffers, never touched: the kernels do not run.
char sysMem, videoMem, copyBuffer;

std::string NameOf(const void* buffer) {
  if (buffer == &sysMem) return "sys";
  if (buffer == &videoMem) return "video";
  if (buffer == &copyBuffer) return "copy";
  return "an unknown buffer";
}

void Record(const std::string& kernel, const void* buffer, const std::string& what) {
  events.push_back(kernel + " " + NameOf(buffer) + " " + what);
}

std::string Hex(uint64_t value) {
  char text[20];
  std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(value));
  return text;
}

}  // namespace
}  // namespace morvit

// The stand-ins the link puts in the kernels' place, and the kernels themselves, each declared with its
// kernel's type. NOLINTBEGIN(bugprone-reserved-identifier)
using morvit::Record;
extern "C" {
decltype(morvit::ReadDWords) MORVIT_WRAP(MORVIT_READ_DWORDS), MORVIT_REAL(MORVIT_READ_DWORDS);
decltype(morvit::WriteDWords) MORVIT_WRAP(MORVIT_WRITE_DWORDS), MORVIT_REAL(MORVIT_WRITE_DWORDS);
decltype(morvit::CopyDWords) MORVIT_WRAP(MORVIT_COPY_DWORDS), MORVIT_REAL(MORVIT_COPY_DWORDS);
decltype(morvit::ReadQWords) MORVIT_WRAP(MORVIT_READ_QWORDS), MORVIT_REAL(MORVIT_READ_QWORDS);
decltype(morvit::WriteQWords) MORVIT_WRAP(MORVIT_WRITE_QWORDS), MORVIT_REAL(MORVIT_WRITE_QWORDS);
decltype(morvit::CopyQWords) MORVIT_WRAP(MORVIT_COPY_QWORDS), MORVIT_REAL(MORVIT_COPY_QWORDS);

// The kernels themselves, referred to so that the link needs them under the listed names: a kernel renamed,
// or given another signature, is then missing from the link instead of silently left unwrapped.
extern const void* const kRealKernels[] = {
    reinterpret_cast<const void*>(&MORVIT_REAL(MORVIT_READ_DWORDS)),
    reinterpret_cast<const void*>(&MORVIT_REAL(MORVIT_WRITE_DWORDS)),
    reinterpret_cast<const void*>(&MORVIT_REAL(MORVIT_COPY_DWORDS)),
    reinterpret_cast<const void*>(&MORVIT_REAL(MORVIT_READ_QWORDS)),
    reinterpret_cast<const void*>(&MORVIT_REAL(MORVIT_WRITE_QWORDS)),
    reinterpret_cast<const void*>(&MORVIT_REAL(MORVIT_COPY_QWORDS)),
};

void MORVIT_WRAP(MORVIT_READ_DWORDS)(const void* buffer, int32_t count) {
  Record("read", buffer, std::to_string(count) + " dwords");
}
void MORVIT_WRAP(MORVIT_WRITE_DWORDS)(void* buffer, int32_t count, uint32_t value) {
  Record("write", buffer, std::to_string(count) + " dwords of " + morvit::Hex(value));
}
void MORVIT_WRAP(MORVIT_COPY_DWORDS)(const void* source, void* destination, int32_t count) {
  Record("copy", source, "to " + morvit::NameOf(destination) + " " + std::to_string(count) + " dwords");
}
void MORVIT_WRAP(MORVIT_READ_QWORDS)(const void* buffer, int32_t count) {
  Record("read", buffer, std::to_string(count) + " qwords");
}
void MORVIT_WRAP(MORVIT_WRITE_QWORDS)(void* buffer, int32_t count, int64_t value) {
  Record("write", buffer, std::to_string(count) + " qwords of " + morvit::Hex(static_cast<uint64_t>(value)));
}
void MORVIT_WRAP(MORVIT_COPY_QWORDS)(const void* source, void* destination, int32_t count) {
  Record("copy", source, "to " + morvit::NameOf(destination) + " " + std::to_string(count) + " qwords");
}
}
// NOLINTEND(bugprone-reserved-identifier)

namespace morvit {
namespace {

constexpr uint32_t kFill = 0x5A5A5A5Au;
constexpr int32_t kTests = 3;
constexpr int32_t kReads = 2;

struct KernelCase {
  const char* name;
  bool qwords;
  uint32_t dwordCount;
  std::string elements;  // the kernels' count and width
  std::string fill;      // as the write kernels are given it
};

const KernelCase kKernelCases[] = {
    {"32-bit words", false, 1025, "1025 dwords", "5A5A5A5A"},
    {"64-bit words: the odd last word is left alone", true, 1025, "512 qwords", "5A5A5A5A5A5A5A5A"},
};

// A run state over the stand-ins, with the counter and the page allocator recording into events.
RunState WatchedState(const KernelCase& c, FakePlatform& fake) {
  events.clear();
  RunState state{};
  state.QWordRoutines = c.qwords;
  state.DwordCount = c.dwordCount;
  state.TestCount = kTests;
  state.ReadCount = kReads;
  state.FillValue = kFill;
  state.Frequency = 1;
  state.SysMemBuffer = &sysMem;
  state.SurfaceDesc.lpSurface = &videoMem;
  fake.Services().queryCounter = [] {
    static int64_t tick = 0;
    events.push_back("counter");
    return ++tick;
  };
  fake.Services().allocatePages = [](size_t bytes) -> void* {
    events.push_back("allocate " + std::to_string(bytes));
    return &copyBuffer;
  };
  fake.Services().freePages = [](void* block) { events.push_back("release " + NameOf(block)); };
  return state;
}

// One timed test: the start counter read, the pass's kernel call passes times, the stop counter read.
Events Timed(int32_t passes, const std::string& pass) {
  Events timed = {"counter"};
  timed.insert(timed.end(), static_cast<size_t>(passes), pass);
  timed.push_back("counter");
  return timed;
}

// Each group's kernel calls, one run of it on a fresh state.
TEST(MemoryTestGroups, KernelCallsBetweenTheCounterReads) {
  for (const KernelCase& c : kKernelCases) {
    SCOPED_TRACE(c.name);
    const Events sysMemTests = Joined({
        Timed(kTests, "read sys " + c.elements),
        Timed(kTests, "write sys " + c.elements + " of " + c.fill),
        {"allocate " + std::to_string(c.dwordCount * 4)},
        Timed(kTests, "copy sys to copy " + c.elements),
        {"release copy"},
    });
    const Events videoMemTests = Joined({
        {"write sys 1025 dwords of 5A5A5A5A"},  // what the blits left, replaced with the 32-bit kernel
        Timed(kReads, "read video " + c.elements),
        Timed(kTests, "write video " + c.elements + " of " + c.fill),
        Timed(kTests, "copy sys to video " + c.elements),
        Timed(kReads, "copy video to sys " + c.elements),
    });
    FakePlatform fake;
    RunState state = WatchedState(c, fake);
    SysMemTests(state);
    EXPECT_EQ(events, sysMemTests) << "SysMemTests";
    state = WatchedState(c, fake);
    VideoMemTests(state);
    EXPECT_EQ(events, videoMemTests) << "VideoMemTests";
  }
}

}  // namespace
}  // namespace morvit
