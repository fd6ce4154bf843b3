// Processor faults become Failures thrown from the faulting instruction, with clean-up on the way,
// as often as they happen, and leave the x87 unit usable.
#include <gtest/gtest.h>

#include "support/FpuEnvironment.h"

#include "console/Failure.h"
#include "platform/Fpu.h"
#include "platform/Platform.h"

namespace morvit {
namespace {

using ::morvit::testing::FpuEnvironment;
using ::morvit::testing::StoreEnvironment;

volatile uintptr_t badAddress = 0x18;
volatile long double zero = 0.0L;

struct CountsReleases {
  int* releases;
  ~CountsReleases() { ++*releases; }
};

class FaultConversion : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = platform::StoreControlWord();
    platform::LoadControlWord(platform::kProgramControlWord);
  }
  void TearDown() override { platform::LoadControlWord(saved_); }
  platform::FaultConversion faultConversion_;

  uint16_t saved_ = 0;
};


TEST_F(FaultConversion, AccessViolationEveryTimeWithCleanUp) {
  int releases = 0;
  for (int i = 0; i < 3; ++i) {
    try {
      CountsReleases held{&releases};
      (void)*reinterpret_cast<volatile int*>(badAddress);
      FAIL() << "no fault";
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.ClassName(), "EAccessViolation");
      EXPECT_NE(failure.Message().find("Read of address 00000018"), std::string::npos) << failure.Message();
      EXPECT_NE(failure.Location(), 0u);
    }
  }
  EXPECT_EQ(releases, 3);
}

TEST_F(FaultConversion, X87FaultsLeaveTheUnitClean) {
  int releases = 0;
  for (int i = 0; i < 20; ++i) {
    try {
      CountsReleases held{&releases};
      long double q = platform::DivideExtended(i % 2 ? 0.0L : 1.0L, zero);
      FAIL() << "no fault, got " << static_cast<double>(q);
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.ClassName(), i % 2 ? "EInvalidOp" : "EZeroDivide");
    }
    FpuEnvironment env = StoreEnvironment();
    EXPECT_EQ(env.control & ~0x40, platform::kProgramControlWord);
    EXPECT_EQ(env.status & 0x3F, 0) << "no pending exception flags";
    EXPECT_EQ(env.status & 0x3800, 0) << "stack top back at 0";
    EXPECT_EQ(env.tag, 0xFFFF) << "register stack empty";
  }
  EXPECT_EQ(releases, 20);
  EXPECT_EQ(platform::DivideExtended(3.0L, 2.0L), 1.5L);
}

TEST_F(FaultConversion, TruncatingConversionOutOfRangeIsInvalid) {
  try {
    (void)platform::ConvertExtendedToInt64(1e19L);
    FAIL() << "no fault";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.ClassName(), "EInvalidOp");
  }
  EXPECT_EQ(platform::ConvertExtendedToInt64(-2.0L), -2);
}

TEST_F(FaultConversion, MaskedFaultsStayMasked) {
  // Underflow, denormal and precision are masked: they give results, not failures.
  volatile long double tiny = 1e-4930L;
  EXPECT_NO_THROW((void)platform::DivideExtended(tiny, 1e10L));
  EXPECT_NO_THROW((void)platform::DivideExtended(1.0L, 3.0L));
}

}  // namespace
}  // namespace morvit
