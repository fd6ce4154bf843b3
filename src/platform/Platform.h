#pragma once
// What the portable core needs from the operating system. Platform.cpp includes the implementation for
// the system it is built for (win32/ or posix/); nothing outside src/platform knows which one that is.

#include <cstddef>
#include <cstdint>
#include <string>

namespace morvit::platform {

enum class StreamKind { Unknown, Character, Disk, Pipe };

struct StandardOutput {
  bool available = false;  // a handle was obtained
  StreamKind kind = StreamKind::Unknown;
};

// Error numbers as the output channel reports them. On Win32 they are GetLastError values; the POSIX
// layer maps the errno values that have a Win32 counterpart onto it, so messages agree across builds.
namespace io_error {
constexpr int32_t kFileNotFound = 2;
constexpr int32_t kAccessDenied = 5;
constexpr int32_t kInvalidHandle = 6;
constexpr int32_t kWriteFault = 29;          // ERROR_WRITE_FAULT: the device failed the write
constexpr int32_t kNetworkNameDeleted = 64;  // ERROR_NETNAME_DELETED: the network or its far end has gone
constexpr int32_t kDiskFull = 112;
constexpr int32_t kPipeClosed = 232;  // ERROR_NO_DATA: the reading end of the pipe has gone
}  // namespace io_error

// The services the core calls through. Tests replace single entries to supply counter values, refuse
// allocations or fail writes; RestoreRealServices() puts the real implementations back.
struct Services {
  int64_t (*queryCounter)();
  bool (*queryFrequency)(int64_t& ticksPerSecond);
  // Committed, zero-filled, readable and writable pages starting on a page boundary; null if refused.
  void* (*allocatePages)(size_t bytes);
  void (*freePages)(void* block);
  StandardOutput (*openStandardOutput)();
  // 0 when all bytes were written, else the error number of the failed write.
  int32_t (*writeStandardOutput)(const char* bytes, size_t count);
#if defined(_WIN32)
  // The registers of a suspended thread (GetThreadContext; thread a HANDLE, registers a CONTEXT), which a key's
  // handling reads to see where the program's thread stands. It returns only once the suspension has taken
  // effect, which may never come: tests make it so.
  bool (*readThreadRegisters)(void* thread, void* registers);
#endif
};

Services& CurrentServices();
const Services& RealServices();
void RestoreRealServices();

inline int64_t QueryCounter() { return CurrentServices().queryCounter(); }
inline bool QueryFrequency(int64_t& ticksPerSecond) { return CurrentServices().queryFrequency(ticksPerSecond); }
inline void* AllocatePages(size_t bytes) { return CurrentServices().allocatePages(bytes); }
inline void FreePages(void* block) { CurrentServices().freePages(block); }
inline StandardOutput OpenStandardOutput() { return CurrentServices().openStandardOutput(); }
inline int32_t WriteStandardOutput(const char* bytes, size_t count) {
  return CurrentServices().writeStandardOutput(bytes, count);
}

// While it lives, processor faults (invalid memory access, integer and x87 faults) of the program's own
// code are thrown as Failure objects from the faulting instruction, on the thread that made it; a fault
// in another module's code, which cannot be unwound, is reported and ends the process. Code that may
// fault must be built with -fnon-call-exceptions. One per thread, on its stack, outermost frame first.
// The first one made marks its thread as the program's: a fault on any other thread (a driver's, the
// system's) stops the program's thread, is reported in one piece and ends the process with status 1.
class FaultConversion {
 public:
  FaultConversion();
  ~FaultConversion();
  FaultConversion(const FaultConversion&) = delete;
  FaultConversion& operator=(const FaultConversion&) = delete;

 private:
  // Win32: the exception registration record linked into the thread's handler chain, which the
  // system requires to lie on that thread's stack.
  [[maybe_unused]] void* registration_[2];
};

// From the call until the process ends, Ctrl+C and Ctrl+Break end the run as the failure EControlC, on
// the calling thread (the program's). When the key finds that thread in safe code (platform/SafeCode.h)
// with no failure on its way, it is thrown from the instruction it interrupted, so that the run's
// clean-up steps run; otherwise the thread throws it at its next PollInterrupt, and when that does not
// come soon, the report is written from where the key was caught and the process ends with status 1.
// A second key while the first is handled is ignored. The console's close, log-off and shut-down events
// stop the program's thread and pass its finished text on before the system ends the process.
// Returns the system call that failed, if one did (then keys still end the process the system's way).
struct FailedCall {
  const char* function;  // null when none failed
  int32_t error;         // the system's error number
};
[[nodiscard]] FailedCall ConvertInterrupts();
// A safe point of the program's thread (a statement's end, a blit's end): throws EControlC when a key is
// waiting for the thread, unless a failure is already on its way out.
void PollInterrupt();
// The process is about to end with the calling thread's report or status: keys are ignored from now on.
// When another thread has already begun to end the process, the call waits for that end instead.
void IgnoreInterrupts();

// A shared library loaded for the rest of the process, and the address of one of its exports; null
// when the library cannot be loaded or does not export the name.
void* LoadSharedLibrary(const char* fileName);
void* FindExport(void* library, const char* name);

// The module (executable or shared library) holding a code address.
struct ModuleInfo {
  bool found = false;
  uintptr_t base = 0;
  std::string fileName;  // without directory
};
ModuleInfo ModuleOfAddress(const void* address);
std::string ProgramFileName();  // the running executable's file name, without directory

// Ends the process at once with the given status; buffered output must have been passed on before.
[[noreturn]] void ExitProcess(int status);

void ComInitialize();
void ComUninitialize();

// The platform's text of a 16-byte GUID ({XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}). Returns the
// platform's result code: negative when no text could be made.
int32_t GuidToText(const unsigned char (&guid)[16], std::string& text);
// The system's message for a result code, without a trailing line end; empty when it has none.
std::string SystemErrorText(int32_t code);

// Converts a zero-terminated string from the ANSI to the console's OEM code page in place.
void ConvertToOemCodePage(char* text);

// The raw command line as the process received it, program name first. False where the platform
// hands arguments over already split (POSIX); the caller then uses argv.
bool RawCommandLine(std::string& line);

}  // namespace morvit::platform
