#include "platform/Platform.h"

#include <atomic>
#include <exception>
#include <string>

#include "platform/Fault.h"
#include "platform/Fpu.h"
#include "platform/HandlerCode.h"

namespace morvit::platform {
namespace {

FaultHandlers faultHandlers{};

// Throws the program's failure for a fault through the handler the layers above registered.
[[noreturn]] void ThrowFault(const Fault& fault) {
  faultHandlers.throwFault(fault);
  __builtin_unreachable();
}

// A Ctrl+C as the failure it becomes, located at the instruction it interrupted.
Fault InterruptFault(uintptr_t instruction, uint32_t code) {
  Fault fault;
  fault.kind = FaultKind::ControlC;
  fault.code = code;
  fault.instruction = instruction;
  return fault;
}

// A key's way through the process. The threads that look at it (the program's, the one that caught the
// key, one that faulted) change it only by compare-and-exchange, so that one alone acts on each step.
enum InterruptState : int {
  Unarmed,     // keys get the system's default handling
  Armed,       // the next key is taken
  KeyWaiting,  // a key was taken and is not yet thrown on the program's thread
  KeyThrown,   // thrown on the program's thread, from where it was interrupted or at a safe point
  Ending,      // a thread ends the process with its own report or status: keys are ignored
};
std::atomic<int> interruptState{Unarmed};

bool ChangeInterruptState(int from, int to) { return interruptState.compare_exchange_strong(from, to); }

// A nonzero number of the calling thread, defined for each platform.
uintptr_t CurrentThreadTag();

// The thread that ends the process, once one has begun: no other thread writes a report or sets a status.
std::atomic<uintptr_t> endingThread{0};

// True when the calling thread may end the process: it is the first to claim the end, or claimed it before.
bool ClaimEnd() {
  uintptr_t none = 0;
  const uintptr_t self = CurrentThreadTag();
  if (!endingThread.compare_exchange_strong(none, self) && none != self) return false;
  interruptState.store(Ending);
  return true;
}

// For a thread that lost the claim: the claiming thread ends the process (defined for each platform).
[[noreturn]] void WaitForEnd();

// For the program's thread about to end the process itself: waits until the threads the system started for
// keys have left the process (defined for each platform).
void WaitForKeyThreads();

// The report for a key that cannot be thrown on the program's thread, with its line end, made when keys
// are first converted and located at the code that catches the key: whoever writes it later must not
// allocate, since the interrupted code may hold the heap.
std::string preparedInterruptReport;

void PrepareInterruptReport(const void* handler, uint32_t code) {
  const Fault fault = InterruptFault(reinterpret_cast<uintptr_t>(handler), code);
  preparedInterruptReport = faultHandlers.reportText(fault) + "\r\n";
}

}  // namespace
}  // namespace morvit::platform

// The system's half, one file per concern, the same names in win32/ and posix/. Each file opens with what of it
// runs in a handler. In this order (not sorted): the program's thread before the faults and keys that stop it or
// run on it, the modules before the faults that ask whose code faulted.
// clang-format off
#if defined(_WIN32)
#include "platform/win32/Services.inc"
#include "platform/win32/Modules.inc"
#include "platform/win32/ProgramThread.inc"
#include "platform/win32/Faults.inc"
#include "platform/win32/Keys.inc"
#include "platform/win32/SystemText.inc"
#else
#include "platform/posix/Services.inc"
#include "platform/posix/Modules.inc"
#include "platform/posix/ProgramThread.inc"
#include "platform/posix/Faults.inc"
#include "platform/posix/Keys.inc"
#include "platform/posix/SystemText.inc"
#endif
// clang-format on

namespace morvit::platform {

namespace {
const Services kRealServices = {
    RealQueryCounter,        RealQueryFrequency,     RealAllocatePages,
    RealFreePages,           RealOpenStandardOutput, RealWriteStandardOutput,
#if defined(_WIN32)
    RealReadThreadRegisters,
#endif
};
Services currentServices = kRealServices;
}  // namespace

void SetFaultHandlers(const FaultHandlers& handlers) { faultHandlers = handlers; }
const FaultHandlers& CurrentFaultHandlers() { return faultHandlers; }

Services& CurrentServices() { return currentServices; }
const Services& RealServices() { return kRealServices; }
void RestoreRealServices() { currentServices = kRealServices; }

__attribute__((noinline)) void PollInterrupt() {
  if (interruptState.load(std::memory_order_relaxed) != KeyWaiting) return;
  // Not while a failure is on its way out: a second throw would end in std::terminate.
  if (std::uncaught_exceptions() > 0 || !ChangeInterruptState(KeyWaiting, KeyThrown)) return;
  const uintptr_t caller = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
  ThrowFault(InterruptFault(caller, kInterruptCode));
}

void IgnoreInterrupts() {
  if (!ClaimEnd()) WaitForEnd();
  WaitForKeyThreads();
}

}  // namespace morvit::platform
