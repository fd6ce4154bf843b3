#pragma once

#include "console/Failure.h"

namespace morvit {

// The report text of a failure: "Exception <class> in module <module> at <offset>." LF "<message>",
// with a full stop added to a message that does not end in one; at most 1,023 characters.
std::string FailureReportText(const Failure& failure);

// Writes the report to the output channel, passes buffered output on and ends the process with
// status 1. A failure while writing the report itself still ends the process with status 1.
[[noreturn]] void ReportFailure(const Failure& failure);

// Hands the platform the handlers through which processor faults and keys become failures, reports and
// the end of the process. Before the first platform::FaultConversion or ConvertInterrupts.
void InstallFailureHandlers();

// The program's outermost frame: sets the floating-point control word, turns processor faults into
// failures, runs the body, and ends the process: status 0 when the body returns, the failure report
// and status 1 when a failure leaves it.
[[noreturn]] void RunReportingFailures(void (*body)());

}  // namespace morvit
