// What the fault probe asks of the system: exceptions, a second thread, console events.
#include <windows.h>

#include <cstdint>

#include "platform/Platform.h"

void RaiseCode(uint32_t code) { RaiseException(code, 0, 0, nullptr); }

namespace {
volatile int* const kNowhere = nullptr;

DWORD WINAPI FaultLater(void*) {
  Sleep(100);
  return static_cast<DWORD>(*kNowhere);  // NOLINT(clang-analyzer-core.NullDereference): the fault it is for
}
}  // namespace

void StartFaultingThread() { CloseHandle(CreateThread(nullptr, 0, FaultLater, nullptr, 0, nullptr)); }

// The console event as the system delivers it: through kernel32's dispatcher, which calls the handlers
// and, when none takes the event, ends the process. The system runs it on a thread of its own; here
// also on the calling thread, as a system might that ran it on the interrupted one.
void DeliverConsoleEvent(uint32_t event, bool onThisThread) {
  const auto dispatch = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CtrlRoutine")));
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the dispatcher takes the event as its thread argument
  void* const argument = reinterpret_cast<void*>(static_cast<uintptr_t>(event));
  if (dispatch == nullptr) return;
  if (onThisThread) {
    dispatch(argument);
  } else {
    CloseHandle(CreateThread(nullptr, 0, dispatch, argument, 0, nullptr));
  }
}

namespace {
bool NeverReturn(void*, void*) {
  Sleep(INFINITE);
  return false;
}

// Stands for the system's default handling, which comes after the program's handler when that returns.
BOOL WINAPI EndWithNine(DWORD) { return TerminateProcess(GetCurrentProcess(), 9); }
}  // namespace

// The thread is suspended and its registers never come: GetThreadContext as a system that cannot stop it
// gives it.
void StopsNeverCome() { morvit::platform::CurrentServices().readThreadRegisters = NeverReturn; }

// Set before the program's own handler, so called after it.
void ChainDefaultStand() { SetConsoleCtrlHandler(EndWithNine, TRUE); }

void Pause() { Sleep(INFINITE); }
void Nap() { Sleep(500); }
