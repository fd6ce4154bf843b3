// A stand-in program for the failure paths: it runs one failure of the kind named by its argument
// inside the program's outermost frame, holding a resource whose release it reports, so that tests
// see the exact report bytes, the exit status and that clean-up ran.
//   fault_probe MODE   with MODE one of own, midline, dot, empty, long, read, write, fdiv, invalid,
//                      intdiv, kernel, timed-divide, timed-convert, foreign, repeat, controlword
#include <cstdio>
#include <cstring>
#include <string>

#include "app/RunState.h"

#include "console/Failure.h"
#include "console/FailureReport.h"
#include "console/OutputChannel.h"
#include "measure/MorvitUtl.h"
#include "measure/TimedSection.h"
#include "platform/Fpu.h"
#include "platform/Platform.h"

namespace {

std::string mode;

void WriteStatement(const std::string& text, bool endLine) {
  morvit::OutputChannel& out = morvit::Output();
  out.WriteText(text);
  if (endLine) {
    out.EndLine();
  } else {
    out.EndStatement();
  }
  out.CheckOutput();
}

// Stands for what the program holds when a failure leaves it (its device and surface references).
struct HeldResource {
  ~HeldResource() { WriteStatement("released", true); }
};

volatile uintptr_t readAddress = 0x10;
volatile uintptr_t writeAddress = 0x20;
volatile long double zero = 0.0L;
volatile int integerZero = 0;

// The processor's own fault is wanted here, not the sanitizer's report of the same division.
__attribute__((no_sanitize_undefined)) int DivideBy(int divisor) { return 7 / divisor; }

int64_t counterValue = 0;
int64_t SuppliedCounter() { return counterValue++; }

// A timed test of the given surface words, passes and counter frequency, one counter tick long.
void TimedTest(uint32_t dwordCount, int32_t passes, int64_t frequency) {
  morvit::RunState state;
  std::memset(&state, 0, sizeof state);
  state.DwordCount = dwordCount;
  state.Frequency = frequency;
  morvit::platform::CurrentServices().queryCounter = SuppliedCounter;
  morvit::BeginTest(state, "SysMem Read");
  morvit::EndTest(state, passes);
}

// Faults of every kind in turn, each caught here; afterwards the x87 unit must be as the program set it.
void RepeatedFaults() {
  int faults = 0, releases = 0, unclean = 0;
  for (int i = 0; i < 300; ++i) {
    try {
      struct Counted {
        int* releases;
        ~Counted() { ++*releases; }
      } counted{&releases};
      switch (i % 4) {
        case 0: (void)*reinterpret_cast<volatile int*>(readAddress); break;
        case 1: (void)morvit::platform::DivideExtended(1.0L, zero); break;
        case 2: (void)morvit::platform::DivideExtended(0.0L, zero); break;
        default: (void)morvit::platform::ConvertExtendedToInt64(1e19L); break;
      }
    } catch (const morvit::Failure&) {
      ++faults;
    }
    struct { uint16_t control, pad1, status, pad2, tag, pad3; uint32_t rest[4]; } env;
    asm volatile("fnstenv %0\n\tfldenv %0" : "=m"(env));
    if ((env.control & ~0x40) != morvit::platform::kProgramControlWord || (env.status & 0x383F) != 0 ||
        env.tag != 0xFFFF) {
      ++unclean;
    }
  }
  WriteStatement(morvit::Format("faults %d releases %d unclean %d", faults, releases, unclean), true);
}

void Body() {
  HeldResource held;
  if (mode == "own") {
    morvit::Raise(morvit::kExceptionClass, morvit::Format("GetMem fail [Size = %d]", 1228800));
  } else if (mode == "midline") {
    WriteStatement("SysMem Read (Secs, Bytes/s):                ", false);
    morvit::Raise(morvit::kExceptionClass, "WaitForOpComplete Lock Fail [887601AEh Surface busy.]");
  } else if (mode == "dot") {
    morvit::Raise(morvit::kExceptionClass, "Test Blt Fail 88760248h Ends with a stop.");
  } else if (mode == "empty") {
    morvit::Raise(morvit::kExceptionClass, "");
  } else if (mode == "long") {
    morvit::Raise(morvit::kExceptionClass, std::string(1100, 'L'));
  } else if (mode == "read") {
    int value = *reinterpret_cast<volatile int*>(readAddress);
    std::printf("%d", value);
  } else if (mode == "write") {
    *reinterpret_cast<volatile int*>(writeAddress) = 1;
  } else if (mode == "fdiv") {
    WriteStatement(morvit::RealText(morvit::platform::DivideExtended(1.0L, zero), 4), true);
  } else if (mode == "invalid") {
    WriteStatement(morvit::RealText(morvit::platform::DivideExtended(0.0L, zero), 4), true);
  } else if (mode == "intdiv") {
    WriteStatement(std::to_string(DivideBy(integerZero)), true);
  } else if (mode == "kernel") {
    morvit::ReadDWords(reinterpret_cast<const void*>(readAddress), 4);
  } else if (mode == "timed-divide") {
    TimedTest(1, 1, 0);
  } else if (mode == "timed-convert") {
    TimedTest(0x1FFFFFFF, 0x7FFFFFFF, 1000000000);
  } else if (mode == "foreign") {
    // A fault inside the C runtime's DLL, whose frames cannot be unwound.
    size_t (*volatile length)(const char*) = std::strlen;
    WriteStatement(std::to_string(length(reinterpret_cast<const char*>(readAddress))), true);
  } else if (mode == "repeat") {
    RepeatedFaults();
  } else if (mode == "controlword") {
    WriteStatement(morvit::Format("%04X", morvit::platform::StoreControlWord()), true);
  }
}

}  // namespace

int main(int argc, char** argv) {
  mode = argc > 1 ? argv[1] : "";
  morvit::RunReportingFailures(Body);
}
