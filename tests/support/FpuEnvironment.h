#pragma once
// The x87 environment for tests that check what code leaves behind in the floating-point unit.

#include <cstdint>

namespace morvit::testing {

// As FNSTENV stores it (32-bit protected-mode layout, the same in 64-bit mode).
struct FpuEnvironment {
  uint16_t control, pad1, status, pad2, tag, pad3;
  uint32_t rest[4];
};

// FNSTENV masks all exceptions as a side effect; FLDENV puts the stored environment back.
inline FpuEnvironment StoreEnvironment() {
  FpuEnvironment env;
  asm volatile("fnstenv %0\n\tfldenv %0" : "=m"(env));
  return env;
}

}  // namespace morvit::testing
