#include "console/FailureReport.h"

#include <gtest/gtest.h>

#include <regex>

#include "platform/Platform.h"

namespace morvit {
namespace {

Failure Caught(const char* cls, const std::string& message) {
  try {
    Raise(cls, message);
  } catch (const Failure& failure) {
    return failure;
  }
  return Failure("", "", 0);
}

// The first line names the module holding the raise, which for the program's own code is the
// running executable.
std::string FirstLinePattern(const std::string& cls) {
  return "Exception " + cls + " in module " + platform::ProgramFileName() + " at [0-9A-F]{8}\\.\n";
}

TEST(FailureReport, OwnFailureGetsAFullStop) {
  Failure failure = Caught(kExceptionClass, Format("GetMem fail [Size = %d]", 1228800));
  EXPECT_NE(failure.Location(), 0u);
  std::string text = FailureReportText(failure);
  EXPECT_TRUE(std::regex_match(text, std::regex(FirstLinePattern("Exception") + "GetMem fail \\[Size = 1228800\\]\\.")))
      << text;
}

TEST(FailureReport, MessageEndingInFullStopGetsNoSecond) {
  std::string text = FailureReportText(Caught(kExceptionClass, "Test Blt Fail 8876021Ch Informs it."));
  EXPECT_EQ(text.substr(text.find('\n') + 1), "Test Blt Fail 8876021Ch Informs it.");
}

TEST(FailureReport, EmptyMessageGivesEmptySecondLine) {
  std::string text = FailureReportText(Caught("EInOutError", ""));
  EXPECT_TRUE(std::regex_match(text, std::regex(FirstLinePattern("EInOutError")))) << text;
}

TEST(FailureReport, CutAt1023Characters) {
  std::string text = FailureReportText(Caught(kExceptionClass, std::string(2000, 'm')));
  ASSERT_EQ(text.size(), 1023u);
  EXPECT_EQ(text.back(), 'm');
}

TEST(FailureReport, LocationOutsideEveryModuleNamesTheProgram) {
  std::string text = FailureReportText(Failure("EOutOfMemory", "Out of memory", 0));
  EXPECT_EQ(text, "Exception EOutOfMemory in module " + platform::ProgramFileName() + " at 00000000.\nOut of memory.");
}

TEST(FaultMessages, ClassesAndTexts) {
  Fault fault;
  fault.kind = FaultKind::FloatDivideByZero;
  EXPECT_EQ(FailureFromFault(fault).ClassName(), "EZeroDivide");
  EXPECT_EQ(FailureFromFault(fault).Message(), "Floating point division by zero");
  fault.kind = FaultKind::FloatInvalidOperation;
  EXPECT_EQ(FailureFromFault(fault).Message(), "Invalid floating point operation");
  fault.kind = FaultKind::IntegerDivideByZero;
  EXPECT_EQ(FailureFromFault(fault).ClassName(), "EDivByZero");
  fault.kind = FaultKind::Other;
  fault.code = 0xC0000374;
  EXPECT_EQ(FailureFromFault(fault).ClassName(), "EExternalException");
  EXPECT_EQ(FailureFromFault(fault).Message(), "External exception C0000374");
}

TEST(FaultMessages, AccessViolationOutsideEveryModule) {
  Fault fault;
  fault.kind = FaultKind::AccessViolation;
  fault.instruction = 0x10;
  fault.accessAddress = 0x1234;
  fault.write = true;
  EXPECT_EQ(FailureFromFault(fault).Message(), "Access violation at address 00000010. Write of address 00001234");
}

}  // namespace
}  // namespace morvit
