// What the fault probe asks of the system: exceptions, a second thread, console events.
#include <windows.h>

#include <cstdint>

void RaiseCode(uint32_t code) { RaiseException(code, 0, 0, nullptr); }

namespace {
volatile int* const nowhere = nullptr;

DWORD WINAPI FaultLater(void*) {
  Sleep(100);
  return static_cast<DWORD>(*nowhere);
}
}  // namespace

void StartFaultingThread() { CloseHandle(CreateThread(nullptr, 0, FaultLater, nullptr, 0, nullptr)); }

// The console event as the system delivers it: through kernel32's dispatcher, which calls the handlers
// and, when none takes the event, ends the process. The system runs it on a thread of its own; here
// also on the calling thread, as a system might that ran it on the interrupted one.
void DeliverConsoleEvent(uint32_t event, bool onThisThread) {
  const auto dispatch = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CtrlRoutine")));
  void* const argument = reinterpret_cast<void*>(static_cast<uintptr_t>(event));
  if (dispatch == nullptr) return;
  if (onThisThread) {
    dispatch(argument);
  } else {
    CloseHandle(CreateThread(nullptr, 0, dispatch, argument, 0, nullptr));
  }
}

void Pause() { Sleep(INFINITE); }
void Nap() { Sleep(500); }
