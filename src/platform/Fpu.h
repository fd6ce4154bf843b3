#pragma once
// The x87 control word. Both builds run on x86 processors, where the x87 unit computes in 80-bit
// extended precision whatever the operating system.

#include <cstdint>

namespace morvit::platform {

// 64-bit significand, round to nearest; invalid operation, division by zero and overflow trap;
// denormal operand, underflow and precision are masked. Bit 6 is reserved and reads back as 1.
constexpr uint16_t kProgramControlWord = 0x1332;
constexpr uint16_t kRoundingControlMask = 0x0C00;
constexpr uint16_t kRoundTowardZero = 0x0C00;

inline uint16_t StoreControlWord() {
  uint16_t word;
  asm volatile("fnstcw %0" : "=m"(word));
  return word;
}

inline void LoadControlWord(uint16_t word) { asm volatile("fldcw %0" : : "m"(word)); }

// Clears pending x87 exceptions and empties the register stack, then sets the program's control word.
inline void ResetFpu() {
  asm volatile("fninit");
  LoadControlWord(kProgramControlWord);
}

// The 80-bit division and the truncating conversion whose faults must reach the program as failures.
// The trailing fwait makes a pending x87 exception fire here, inside the caller's clean-up region,
// instead of at some later floating-point instruction the compiler scheduled elsewhere.
inline long double DivideExtended(long double dividend, long double divisor) {
  long double quotient = dividend / divisor;
  asm volatile("fwait" : "+t"(quotient));
  return quotient;
}

inline int64_t ConvertExtendedToInt64(long double value) {
  int64_t result;
  asm volatile("fistpll %0\n\tfwait" : "=m"(result) : "t"(value) : "st");
  return result;
}

}  // namespace morvit::platform
