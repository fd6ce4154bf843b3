// A stand-in program for the failure paths: it runs one failure of the kind named by its argument
// inside the program's outermost frame, holding a resource whose release it reports, so that tests
// see the exact report bytes, the exit status and that clean-up ran.
//   fault_probe MODE   with MODE one of own, midline, dot, empty, long, read, write, fdiv, invalid,
//                      intdiv, twice, controlword
#include <cstdio>
#include <cstring>
#include <string>

#include "console/Failure.h"
#include "console/FailureReport.h"
#include "console/OutputChannel.h"
#include "platform/Fpu.h"

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
  } else if (mode == "controlword") {
    WriteStatement(morvit::Format("%04X", morvit::platform::StoreControlWord()), true);
  }
}

}  // namespace

int main(int argc, char** argv) {
  mode = argc > 1 ? argv[1] : "";
  morvit::RunReportingFailures(Body);
}
