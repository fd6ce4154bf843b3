// The class and message of every failure: the failures a fault becomes, the output error of each number as a
// failed write raises it, and the size in a refused allocation.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "console/Failure.h"
#include "console/OutputChannel.h"
#include "measure/MorvitUtl.h"
#include "platform/Fault.h"
#include "unit/FakePlatform.h"

namespace morvit {
namespace {

using platform::FaultKind;

std::string ClassAndMessage(const Failure& failure) { return failure.ClassName() + ": " + failure.Message(); }

// The faults the end-to-end runs report (an integer division, an x87 division, Ctrl+C) and the report line's
// invalid operation are not repeated here.
TEST(FailureMessages, EveryOtherFaultClass) {
  const struct {
    const char* name;
    FaultKind kind;
    uint32_t code;
    const char* failure;
  } cases[] = {
      {"array bounds", FaultKind::ArrayBoundsExceeded, 0, "ERangeError: Range check error"},
      {"integer overflow", FaultKind::IntegerOverflow, 0, "EIntOverflow: Integer overflow"},
      {"x87 overflow", FaultKind::FloatOverflow, 0, "EOverflow: Floating point overflow"},
      {"x87 underflow", FaultKind::FloatUnderflow, 0, "EUnderflow: Floating point underflow"},
      {"privileged instruction", FaultKind::PrivilegedInstruction, 0, "EPrivilege: Privileged instruction"},
      {"stack overflow", FaultKind::StackOverflow, 0, "EStackOverflow: Stack overflow"},
      {"another fault: its code without leading zeros", FaultKind::Other, 0x0EEDFADE,
       "EExternalException: External exception EEDFADE"},
      {"an access violation in no module", FaultKind::AccessViolation, 0,
       "EAccessViolation: Access violation at address 00001234. Read of address 00000010"},
  };
  for (const auto& c : cases) {
    platform::Fault fault;
    fault.kind = c.kind;
    fault.code = c.code;
    fault.instruction = 0x1234;
    fault.accessAddress = 0x10;
    EXPECT_EQ(ClassAndMessage(FailureFromFault(fault)), c.failure) << c.name;
  }
}

// The text of each output error number, as a failed write's EInOutError carries it (the POSIX half's own
// numbers: PlatformTest.cpp).
TEST(FailureMessages, OutputErrorOfEveryNumber) {
  const struct {
    int32_t number;
    const char* text;
  } cases[] = {
      {2, "File not found"},
      {3, "Invalid filename"},
      {4, "Too many open files"},
      {5, "File access denied"},
      {100, "Read beyond end of file"},
      {101, "Disk full"},
      {106, "Invalid numeric input"},
      {1, "I/O error 1"},
      {-5, "I/O error -5"},
  };
  for (const auto& c : cases) EXPECT_EQ(IoErrorMessage(c.number), c.text) << "error " << c.number;
}

// The size is the requested 32-bit one in signed decimal; the allocator is asked for it as unsigned.
TEST(FailureMessages, RefusedAllocation) {
  const struct {
    const char* name;
    int32_t size;
    const char* failure;
    size_t asked;
  } cases[] = {
      {"1200 KiB", 1228800, "Exception: GetMem fail [Size = 1228800]", 1228800},
      {"2 GiB", INT32_MIN, "Exception: GetMem fail [Size = -2147483648]", 0x80000000u},
  };
  static size_t asked = 0;
  for (const auto& c : cases) {
    FakePlatform fake;
    fake.Services().allocatePages = [](size_t bytes) -> void* {
      asked = bytes;
      return nullptr;
    };
    void* block = &asked;
    EXPECT_EQ(Raised([&] { AllocPages(block, c.size); }), c.failure) << c.name;
    EXPECT_EQ(asked, c.asked) << c.name << ": bytes asked of the allocator";
    EXPECT_EQ(block, nullptr) << c.name;
  }
}

}  // namespace
}  // namespace morvit
