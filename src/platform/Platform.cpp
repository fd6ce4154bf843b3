#include "platform/Platform.h"

#include <string>

#include "console/Failure.h"
#include "console/FailureReport.h"
#include "platform/Fpu.h"

namespace morvit::platform {
namespace {

// A Ctrl+C as the failure it becomes, located at the instruction it interrupted.
Fault InterruptFault(uintptr_t instruction, uint32_t code) {
  Fault fault;
  fault.kind = FaultKind::ControlC;
  fault.code = code;
  fault.instruction = instruction;
  return fault;
}

// The report for a key that cannot be thrown on the program's thread, made when keys are first converted
// and located at the code that catches the key: whoever writes it later must not allocate, since the
// interrupted code may hold the heap.
std::string preparedInterruptReport;

void PrepareInterruptReport(const void* handler, uint32_t code) {
  const Fault fault = InterruptFault(reinterpret_cast<uintptr_t>(handler), code);
  preparedInterruptReport = FailureReportText(FailureFromFault(fault));
}

// Writes the prepared report and ends the process at once (defined for each platform).
[[noreturn]] void EndWithInterruptReport();

}  // namespace
}  // namespace morvit::platform

#if defined(_WIN32)
#include "platform/win32/Platform.inc"
#else
#include "platform/posix/Platform.inc"
#endif

namespace morvit::platform {

namespace {
const Services kRealServices = {
    RealQueryCounter,        RealQueryFrequency,       RealAllocatePages,
    RealFreePages,           RealOpenStandardOutput,   RealWriteStandardOutput,
};
Services currentServices = kRealServices;
}  // namespace

Services& CurrentServices() { return currentServices; }
const Services& RealServices() { return kRealServices; }
void Restore() { currentServices = kRealServices; }

}  // namespace morvit::platform
