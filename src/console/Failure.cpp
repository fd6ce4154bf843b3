#include "console/Failure.h"

#include "console/Text.h"
#include "platform/Platform.h"

namespace morvit {

__attribute__((noinline)) void Raise(const char* className, std::string message, int32_t errorNumber) {
  uintptr_t location = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
  throw Failure(className, std::move(message), location, errorNumber);
}

Failure FailureFromFault(const platform::Fault& fault) {
  using platform::FaultKind;
  const char* cls = "EExternalException";
  std::string message;
  switch (fault.kind) {
    case FaultKind::AccessViolation: {
      cls = "EAccessViolation";
      const char* access = fault.write ? "Write" : "Read";
      platform::ModuleInfo module = platform::ModuleOfAddress(
          reinterpret_cast<const void*>(fault.instruction));  // NOLINT(performance-no-int-to-ptr): a code address
      if (module.found) {
        message = "Access violation at address " + HexText(fault.instruction) + " in module '" + module.fileName +
                  "'. " + access + " of address " + HexText(fault.accessAddress);
      } else {
        message = "Access violation at address " + HexText(fault.instruction) + ". " + access + " of address " +
                  HexText(fault.accessAddress);
      }
      break;
    }
    case FaultKind::IntegerDivideByZero:
      cls = "EDivByZero";
      message = "Division by zero";
      break;
    case FaultKind::ArrayBoundsExceeded:
      cls = "ERangeError";
      message = "Range check error";
      break;
    case FaultKind::IntegerOverflow:
      cls = "EIntOverflow";
      message = "Integer overflow";
      break;
    case FaultKind::FloatDivideByZero:
      cls = "EZeroDivide";
      message = "Floating point division by zero";
      break;
    case FaultKind::FloatInvalidOperation:
      cls = "EInvalidOp";
      message = "Invalid floating point operation";
      break;
    case FaultKind::FloatOverflow:
      cls = "EOverflow";
      message = "Floating point overflow";
      break;
    case FaultKind::FloatUnderflow:
      cls = "EUnderflow";
      message = "Floating point underflow";
      break;
    case FaultKind::PrivilegedInstruction:
      cls = "EPrivilege";
      message = "Privileged instruction";
      break;
    case FaultKind::StackOverflow:
      cls = "EStackOverflow";
      message = "Stack overflow";
      break;
    case FaultKind::ControlC:
      cls = "EControlC";
      message = "Control-C hit";
      break;
    case FaultKind::Other:
      message = Format("External exception %X", fault.code);
      break;
  }
  return Failure(cls, std::move(message), fault.instruction);
}

}  // namespace morvit
