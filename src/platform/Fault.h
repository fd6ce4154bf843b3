#pragma once
// Processor faults and console keys as the platform layer sees them, and the handlers through which the
// layers above turn them into the program's failures and reports: the platform knows no failure class
// and no output channel of its own.

#include <cstdint>
#include <string>

namespace morvit::platform {

enum class FaultKind {
  AccessViolation,
  IntegerDivideByZero,
  ArrayBoundsExceeded,
  IntegerOverflow,
  FloatDivideByZero,
  FloatInvalidOperation,  // also x87 stack check and inexact result
  FloatOverflow,
  FloatUnderflow,  // also denormal operand
  PrivilegedInstruction,
  StackOverflow,
  ControlC,
  Other,
};

struct Fault {
  FaultKind kind = FaultKind::Other;
  uint32_t code = 0;            // the platform's fault code, for FaultKind::Other
  uintptr_t instruction = 0;    // the faulting instruction
  uintptr_t accessAddress = 0;  // for access violations
  bool write = false;           // for access violations: a write rather than a read
};

// Supplied once by the layers above (the console registers them when it starts); each must be set.
struct FaultHandlers {
  // Throws the program's failure for a fault, on the thread that made it; does not return.
  void (*throwFault)(const Fault& fault);
  // The complete report text of a fault, without a line end.
  std::string (*reportText)(const Fault& fault);
  // Writes the report of a fault and ends the process with status 1; does not return.
  void (*reportAndExit)(const Fault& fault);
  // Passes the finished buffered output on and then text (made beforehand, perhaps empty), allocating
  // nothing: for a thread that stops the program's own at an unknown point, perhaps inside the heap.
  void (*writeFinishedThen)(const char* text);
  // True while the program's thread is inside a write of the output.
  bool (*writing)();
};

void SetFaultHandlers(const FaultHandlers& handlers);
const FaultHandlers& CurrentFaultHandlers();

}  // namespace morvit::platform
