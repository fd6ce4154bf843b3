// Runs the failure its argument names inside the program's outermost frame, holding a resource whose release
// it reports, so that tests see the exact report, the exit status and the clean-up:
//   fault_probe read|write|intdiv|late-x87[-cleanup]|foreign|
//               raise HEX
// or waits, with keys converted, for what ends the process: a key while it throws and catches without end
// (throw-loop) or writes lines without end (write-loop), a fault on a second thread while it writes lines
// (thread-fault), the console's closing (close) or a Ctrl+C or Ctrl+Break handled on the program's own thread
// (key-here, break-here) or on a thread of its own (key-elsewhere); or lets a key come once the end has begun
// (key-after-end). With "stuck" after thread-fault, close or key-elsewhere, no stop of the program's thread
// ever comes.
#include <cstdlib>
#include <cstring>
#include <string>

#include "console/FailureReport.h"
#include "console/OutputChannel.h"

void RaiseCode(uint32_t code);  // the platform's exception of that code, raised inside the platform
void StartFaultingThread();     // a second thread that soon reads address 0
void DeliverConsoleEvent(uint32_t event, bool onThisThread);  // one of the three below
void Pause();                                                 // waits for a signal, or for ever
void Nap();                                                   // half a second
void StopsNeverCome();     // Win32: the program's thread is suspended, and never stopped
void ChainDefaultStand();  // Win32: a console handler called after the program's, which ends with status 9
extern "C" const char morvit_ProbeWait asm("morvit_ProbeWait");  // DelayedX87Fault's fwait
// The console events as Win32 numbers them: CTRL_C_EVENT, CTRL_BREAK_EVENT, CTRL_CLOSE_EVENT.
constexpr uint32_t kCtrlC = 0, kCtrlBreak = 1, kConsoleClose = 2;

// NOLINTBEGIN(performance-no-int-to-ptr): the probe faults at addresses it is given on purpose
namespace {

using namespace morvit;

std::string mode, argument;
volatile uintptr_t readAddress = 0x10, writeAddress = 0x20;
volatile long double zero = 0.0L;
volatile int integerZero = 0;

// The processor's own fault is wanted here, not the sanitizer's report of the same division.
__attribute__((no_sanitize_undefined)) int DivideBy(int divisor) { return 7 / divisor; }

// Delayed x87 faults, raised at the fwait after the division that caused them. The first names the fwait's
// place (its offset in the module, as a report gives a fault's). The second holds a clean-up in the frame
// where GCC gives the fwait, unlike the division, no landing pad: Win32 unwinds from the division and finds
// it, while a POSIX throw starts at the fwait.
__attribute__((noinline)) void DelayedX87Fault() {
  const auto wait = reinterpret_cast<uintptr_t>(&morvit_ProbeWait);
  Output().WriteLine(
      Format("wait %08X", static_cast<unsigned>(wait - platform::ModuleOfAddress(&morvit_ProbeWait).base)));
  const long double quotient = 1.0L / zero;
  asm volatile(".globl morvit_ProbeWait\nmorvit_ProbeWait:\n\tfwait" : : "t"(quotient));
}

__attribute__((noinline)) void DelayedX87FaultBesideCleanUp() {
  struct Cleaned {
    ~Cleaned() { Output().WriteLine("cleaned up"); }
  } cleaned;
  const long double quotient = 1.0L / zero;
  asm volatile("fwait" : : "t"(quotient));
}

// A failure on its way out at any moment, as long as the process lives.
[[noreturn]] void ThrowForever() {
  for (;;) {
    try {
      struct Unwound {
        ~Unwound() { platform::QueryCounter(); }
      } unwound;
      Raise(kExceptionClass, "again");
    } catch (const Failure&) {
    }
  }
}

// Modes that end only by what their test sends; the program's thread must not write after that.
void WaitForTheEnd() {
  if (mode == "close") ChainDefaultStand();
  if (argument == "stuck") StopsNeverCome();
  if (platform::ConvertInterrupts().function != nullptr) std::abort();
  if (mode == "thread-fault") {
    StartFaultingThread();
    for (int i = 0;; ++i) Output().WriteLine("main " + std::to_string(i));
  }
  if (mode == "throw-loop" || mode == "key-here" || mode == "break-here" || mode == "key-elsewhere") {
    Output().WriteLine("ready");
  }
  if (mode == "key-elsewhere") DeliverConsoleEvent(kCtrlC, false);
  if (mode == "throw-loop") ThrowForever();
  for (int i = 0; mode == "write-loop"; ++i) Output().WriteLine("line " + std::to_string(i));
  if (mode == "close") {
    Output().WriteLine("finished 1");
    Output().WriteLine("finished 2");
    DeliverConsoleEvent(kConsoleClose, false);
  }
  if (mode == "key-here") DeliverConsoleEvent(kCtrlC, true);
  if (mode == "break-here") DeliverConsoleEvent(kCtrlBreak, true);
  if (mode == "key-after-end") {
    // Once the end has begun, a key changes nothing.
    platform::IgnoreInterrupts();
    DeliverConsoleEvent(kCtrlC, false);
    Nap();
    Output().WriteLine("after");
    return;
  }
  for (;;) Pause();
}

void Body() {
  struct HeldResource {
    ~HeldResource() { Output().WriteLine("released"); }  // stands for the run's device and surfaces
  } held;
  if (mode == "throw-loop" || mode == "write-loop" || mode == "thread-fault" || mode == "close" || mode == "key-here" ||
      mode == "break-here" || mode == "key-after-end" || mode == "key-elsewhere") {
    WaitForTheEnd();
  }
  if (mode == "read") Output().WriteLine(std::to_string(*reinterpret_cast<volatile int*>(readAddress)));
  if (mode == "write") *reinterpret_cast<volatile int*>(writeAddress) = 1;
  if (mode == "intdiv") Output().WriteLine(std::to_string(DivideBy(integerZero)));
  if (mode == "foreign") {
    // A fault inside the C runtime's code, whose frames cannot be unwound on Win32.
    size_t (*volatile length)(const char*) = std::strlen;
    Output().WriteLine(std::to_string(length(reinterpret_cast<const char*>(readAddress))));
  }
  if (mode == "late-x87") DelayedX87Fault();
  if (mode == "late-x87-cleanup") DelayedX87FaultBesideCleanUp();
  if (mode == "raise") RaiseCode(static_cast<uint32_t>(std::strtoul(argument.c_str(), nullptr, 16)));
}

}  // namespace

int main(int argc, char** argv) {
  mode = argc > 1 ? argv[1] : "";
  argument = argc > 2 ? argv[2] : "";
  RunReportingFailures(Body);
}
// NOLINTEND(performance-no-int-to-ptr)
