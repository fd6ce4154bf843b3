#pragma once
// Failures end a run: they are thrown, never returned, carry a complete message and the code address
// where they were raised, and are caught only by the entry point, which reports them.

#include <cstdint>
#include <exception>
#include <string>

#include "console/Text.h"  // the messages are built with Format
#include "platform/Fault.h"

namespace morvit {

class Failure : public std::exception {
 public:
  Failure(std::string className, std::string message, uintptr_t location, int32_t errorNumber = 0)
      : className_(std::move(className)),
        message_(std::move(message)),
        location_(location),
        errorNumber_(errorNumber) {}

  const std::string& ClassName() const { return className_; }
  const std::string& Message() const { return message_; }
  // The raising code address, or for a processor fault the faulting instruction.
  uintptr_t Location() const { return location_; }
  // The I/O error number of an EInOutError; 0 for every other class.
  int32_t ErrorNumber() const { return errorNumber_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string className_;
  std::string message_;
  uintptr_t location_;
  int32_t errorNumber_;
};

// The class of every failure the program's own checks raise.
inline constexpr const char* kExceptionClass = "Exception";

// Throws a Failure located at the caller's return address.
[[noreturn]] void Raise(const char* className, std::string message, int32_t errorNumber = 0);

// The failure a fault becomes: its class and message, located at the faulting instruction.
Failure FailureFromFault(const platform::Fault& fault);

}  // namespace morvit
