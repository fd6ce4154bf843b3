#include "console/Failure.h"

#include <cstdarg>
#include <cstdio>

#include "platform/Platform.h"

namespace morvit {

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
  va_end(args);
  return text;
}

__attribute__((noinline)) void Raise(const char* className, std::string message, int32_t errorNumber) {
  uintptr_t location = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
  throw Failure(className, std::move(message), location, errorNumber);
}

namespace {

// Addresses in fault messages: eight upper-case hexadecimal digits, more where a 64-bit address
// needs them.
std::string AddressText(uintptr_t address) { return Format("%08llX", static_cast<unsigned long long>(address)); }

}  // namespace

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
        message = "Access violation at address " + AddressText(fault.instruction) + " in module '" + module.fileName +
                  "'. " + access + " of address " + AddressText(fault.accessAddress);
      } else {
        message = "Access violation at address " + AddressText(fault.instruction) + ". " + access + " of address " +
                  AddressText(fault.accessAddress);
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
