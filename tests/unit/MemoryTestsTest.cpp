// What the memory tests do that their output cannot show: which buffer each pass reads or writes, how many
// passes run between the two counter reads, where the words end, and which page buffers come and go.
//
// Each watched buffer ends where an inaccessible guard page begins and lies across the boundary of two
// pages, "front" and "back". A pass starts with the front page closed: its fault is recorded as the pass's
// access and opens it, closing the back page; the back page's fault opens it and closes the front page
// after one more instruction, which a 64-bit element across the boundary needs both pages for.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/RunState.h"
#include "console/OutputChannel.h"
#include "measure/MemoryTests.h"
#include "platform/Platform.h"

namespace morvit {
namespace {

using Events = std::vector<std::string>;

struct Watched {
  std::string name;
  char* front;  // followed by the back page and the guard page
  void* start;
  bool closeFrontAfterStep;
};

const size_t kPage = static_cast<size_t>(sysconf(_SC_PAGESIZE));
constexpr greg_t kTrapFlag = 0x100;
// As a double in both halves of a 64-bit fill, a signalling NaN: moving it through the x87 unit as a
// floating-point value would change it.
constexpr uint32_t kFill = 0xFFF00001u;
std::vector<Watched> watched;
// Filled by the fault handler too: reserved beforehand, and its texts short enough to need no allocation.
Events events;

void Protect(char* page, int access) { mprotect(page, kPage, access); }

void OnFault(int, siginfo_t* info, void* context) {
  char* const address = static_cast<char*>(info->si_addr);
  greg_t* const registers = static_cast<ucontext_t*>(context)->uc_mcontext.gregs;
  // Page-fault error code bit 1: the access was a write.
  const bool write = (registers[REG_ERR] & 2) != 0;
  for (Watched& buffer : watched) {
    char* const back = buffer.front + kPage;
    char* const guard = back + kPage;
    if (address >= buffer.front && address < back) {
      events.push_back((write ? "write " : "read ") + buffer.name);
      Protect(buffer.front, PROT_READ | PROT_WRITE);
      Protect(back, PROT_NONE);
      return;
    }
    if (address >= back && address < guard) {
      Protect(back, PROT_READ | PROT_WRITE);
      buffer.closeFrontAfterStep = true;
      registers[REG_EFL] |= kTrapFlag;
      return;
    }
    if (address >= guard && address < guard + kPage) {
      events.push_back("beyond " + buffer.name);
      Protect(guard, PROT_READ | PROT_WRITE);
      return;
    }
  }
  signal(SIGSEGV, SIG_DFL);  // not ours: the fault comes again and ends the test program
}

void OnStep(int, siginfo_t*, void* context) {
  static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_EFL] &= ~kTrapFlag;
  for (Watched& buffer : watched) {
    if (buffer.closeFrontAfterStep) Protect(buffer.front, PROT_NONE);
    buffer.closeFrontAfterStep = false;
  }
}

// A buffer of more than one page and at most two, ending at its guard page.
void* Watch(const std::string& name, size_t bytes) {
  char* const front = static_cast<char*>(mmap(nullptr, 3 * kPage, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  void* const start = front + 2 * kPage - bytes;
  watched.push_back({name, front, start, false});
  return start;
}

int64_t NextTick() {
  static int64_t tick = 0;
  events.push_back("counter");
  return ++tick;
}

void* AllocateCopyBuffer(size_t bytes) {
  events.push_back("allocate " + std::to_string(bytes));
  return Watch("copy", bytes);
}

// Also tells how far the last pass wrote: the words from the buffer's start that hold the fill.
void ReleaseBuffer(void* block) {
  for (const Watched& buffer : watched) {
    if (buffer.start != block) continue;
    Protect(buffer.front, PROT_READ);
    const auto* words = static_cast<const uint32_t*>(block);
    size_t filled = 0;
    while (words + filled < reinterpret_cast<const uint32_t*>(buffer.front + 2 * kPage) && words[filled] == kFill) {
      ++filled;
    }
    events.push_back("release " + buffer.name + " filled " + std::to_string(filled));
  }
}

void Handle(int signal, void (*handler)(int, siginfo_t*, void*), struct sigaction& previous) {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = handler;
  action.sa_flags = SA_SIGINFO;
  sigaction(signal, &action, &previous);
}

// A run state over watched buffers, the counter, the page allocator and standard output replaced, and
// the handlers installed; all put back at the end.
class WatchedRun {
 public:
  WatchedRun(bool qwords, uint32_t dwordCount, int32_t testCount, int32_t readCount) {
    events.clear();
    events.reserve(1000);
    std::memset(&state, 0, sizeof state);
    state.QWordRoutines = qwords;
    state.DwordCount = dwordCount;
    state.TestCount = testCount;
    state.ReadCount = readCount;
    state.FillValue = kFill;
    state.Frequency = 1;
    state.SysMemBuffer = Watch("sys", size_t{dwordCount} * 4);
    state.SurfaceDesc.lpSurface = Watch("video", size_t{dwordCount} * 4);
    platform::Services& services = platform::CurrentServices();
    services.queryCounter = NextTick;
    services.allocatePages = AllocateCopyBuffer;
    services.freePages = ReleaseBuffer;
    services.openStandardOutput = [] { return platform::StandardOutput{true, platform::StreamKind::Disk}; };
    services.writeStandardOutput = [](const char*, size_t) { return 0; };
    Output().Reset();
    Handle(SIGSEGV, OnFault, previousFault_);
    Handle(SIGTRAP, OnStep, previousStep_);
  }
  ~WatchedRun() {
    sigaction(SIGTRAP, &previousStep_, nullptr);
    sigaction(SIGSEGV, &previousFault_, nullptr);
    Output().Reset();
    platform::RestoreRealServices();
    for (const Watched& buffer : watched) munmap(buffer.front, 3 * kPage);
    watched.clear();
  }
  RunState state;

 private:
  struct sigaction previousFault_;
  struct sigaction previousStep_;
};

// The events of one timed test: the start counter read, each pass's accesses, the stop counter read.
Events Timed(int32_t passes, const Events& pass) {
  Events timed = {"counter"};
  for (int32_t i = 0; i < passes; ++i) timed.insert(timed.end(), pass.begin(), pass.end());
  timed.push_back("counter");
  return timed;
}

Events Joined(const std::vector<Events>& parts) {
  Events joined;
  for (const Events& part : parts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

struct KernelCase {
  const char* name;
  bool qwords;
  uint32_t dwordCount;
};

// 32-bit kernels move every word; the 64-bit ones leave an odd last word alone, and would meet the
// guard page if they rounded the count up.
const KernelCase kKernelCases[] = {
    {"32-bit words, odd count", false, 1025},
    {"64-bit words, even count", true, 1026},
    {"64-bit words, odd count", true, 1025},
};

TEST(SysMemTests, PassesBuffersAndBounds) {
  constexpr int32_t kTests = 3;
  for (const KernelCase& c : kKernelCases) {
    SCOPED_TRACE(c.name);
    WatchedRun run(c.qwords, c.dwordCount, kTests, 2);
    SysMemTests(run.state);
    const Events expected = Joined({
        Timed(kTests, {"read sys"}),
        Timed(kTests, {"write sys"}),
        {"allocate " + std::to_string(c.dwordCount * 4)},
        Timed(kTests, {"read sys", "write copy"}),
        {"release copy filled " + std::to_string(c.qwords ? c.dwordCount & ~1u : c.dwordCount)},
    });
    EXPECT_EQ(events, expected);
  }
}

TEST(VideoMemTests, PassesDirectionsAndBounds) {
  constexpr int32_t kTests = 3;
  constexpr int32_t kReads = 2;
  for (const KernelCase& c : kKernelCases) {
    SCOPED_TRACE(c.name);
    WatchedRun run(c.qwords, c.dwordCount, kTests, kReads);
    VideoMemTests(run.state);
    const Events expected = Joined({
        {"write sys"},  // the fill that replaces what the blits left
        Timed(kReads, {"read video"}),
        Timed(kTests, {"write video"}),
        Timed(kTests, {"read sys", "write video"}),
        Timed(kReads, {"read video", "write sys"}),
    });
    EXPECT_EQ(events, expected);
  }
}

}  // namespace
}  // namespace morvit
