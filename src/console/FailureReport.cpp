#include "console/FailureReport.h"

#include <new>

#include "console/OutputChannel.h"
#include "console/Text.h"
#include "platform/Fault.h"
#include "platform/Fpu.h"
#include "platform/Platform.h"

namespace morvit {

namespace {
constexpr size_t kMaxReportLength = 1023;

[[noreturn]] void ThrowFailureOf(const platform::Fault& fault) { throw FailureFromFault(fault); }
std::string ReportTextOf(const platform::Fault& fault) { return FailureReportText(FailureFromFault(fault)); }
void ReportFailureOf(const platform::Fault& fault) { ReportFailure(FailureFromFault(fault)); }
void WriteFinishedThen(const char* text) { Output().WriteLast(text); }
bool OutputWriting() { return Output().Writing(); }
}  // namespace

void InstallFailureHandlers() {
  platform::SetFaultHandlers({ThrowFailureOf, ReportTextOf, ReportFailureOf, WriteFinishedThen, OutputWriting});
}

std::string FailureReportText(const Failure& failure) {
  platform::ModuleInfo module = platform::ModuleOfAddress(
      reinterpret_cast<const void*>(failure.Location()));  // NOLINT(performance-no-int-to-ptr): a code address
  std::string moduleName = module.found ? module.fileName : platform::ProgramFileName();
  // The offset inside the module; an address outside every module is shown as it is (its low 32 bits in a
  // 64-bit build).
  uintptr_t offset = module.found ? failure.Location() - module.base : failure.Location();
  const std::string& message = failure.Message();
  const char* stop = (!message.empty() && message.back() != '.') ? "." : "";
  std::string text = "Exception " + failure.ClassName() + " in module " + moduleName + " at " +
                     HexText(static_cast<uint32_t>(offset)) + ".\n" + message + stop;
  if (text.size() > kMaxReportLength) text.resize(kMaxReportLength);
  return text;
}

void ReportFailure(const Failure& failure) {
  platform::IgnoreInterrupts();
  OutputChannel& out = Output();
  try {
    std::string text = FailureReportText(failure);
    out.WriteZText(text.c_str());
    out.EndLineAndCheck();
  } catch (...) {
    // Standard output is unusable: nothing more can be said, and trying again could loop.
  }
  out.FlushAtExit();
  platform::ExitProcess(1);
}

void RunReportingFailures(void (*body)()) {
  InstallFailureHandlers();
  platform::LoadControlWord(platform::kProgramControlWord);
  platform::FaultConversion faultConversion;
  try {
    body();
  } catch (const Failure& failure) {
    ReportFailure(failure);
  } catch (const std::bad_alloc&) {
    ReportFailure(Failure("EOutOfMemory", "Out of memory", 0));
  } catch (const std::exception& error) {
    ReportFailure(Failure(kExceptionClass, error.what(), 0));
  }
  platform::IgnoreInterrupts();
  Output().FlushAtExit();
  platform::ExitProcess(0);
}

}  // namespace morvit
