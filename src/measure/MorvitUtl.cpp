#include "measure/MorvitUtl.h"

#include "console/Failure.h"
#include "console/Text.h"
#include "measure/ProgramArguments.h"
#include "platform/Platform.h"
#include "platform/SafeCode.h"

namespace morvit {

std::string UpperParam(int32_t n) {
  std::string text = ParamStr(n);
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

void AllocPages(void*& block, int32_t size) {
  // The size goes to the allocator as the unsigned word it is in the 32-bit build, so a negative one
  // is refused there rather than turned into a 64-bit giant.
  block = platform::AllocatePages(static_cast<size_t>(static_cast<uint32_t>(size)));
  if (block == nullptr) Raise(kExceptionClass, Format("GetMem fail [Size = %d]", size));
}

void FreePages(void* block) { platform::FreePages(block); }

// Each kernel is one asm statement in a function of its own that is never inlined: a fault inside it
// (a locked surface that went away) then unwinds from a call site of the caller, which its unwind
// table covers. Asm written straight into a function with clean-ups gets no landing pad.
//
// The operands are sized by their C++ types, so the same text assembles for i686 and x86-64: the
// pointers use esi/edi or rsi/rdi, and the string instructions take their repeat count from the whole
// of ecx/rcx, hence a pointer-sized count for them. The "memory" clobber keeps the compiler from
// caching anything across the kernel; asm volatile keeps the loads of the read kernels, whose values
// nobody uses. The sanitizer build leaves them uninstrumented: what they do must stay exactly the
// instructions written here. A key is thrown from inside them (platform/SafeCode.h).
#define MORVIT_KERNEL __attribute__((noinline, no_sanitize_address)) MORVIT_SAFE_CODE

MORVIT_KERNEL void ReadDWords(const void* buffer, int32_t count) {
  uintptr_t n = static_cast<uint32_t>(count);
  uint32_t last;
  asm volatile(
      "cld\n\t"
      "rep lodsl"
      : "+S"(buffer), "+c"(n), "=a"(last)
      :
      : "memory", "cc");
}

MORVIT_KERNEL void WriteDWords(void* buffer, int32_t count, uint32_t value) {
  uintptr_t n = static_cast<uint32_t>(count);
  asm volatile(
      "cld\n\t"
      "rep stosl"
      : "+D"(buffer), "+c"(n)
      : "a"(value)
      : "memory", "cc");
}

MORVIT_KERNEL void CopyDWords(const void* source, void* destination, int32_t count) {
  uintptr_t n = static_cast<uint32_t>(count);
  asm volatile(
      "cld\n\t"
      "rep movsl"
      : "+S"(source), "+D"(destination), "+c"(n)
      :
      : "memory", "cc");
}

// The 64-bit family: FILD and FISTP move a 64-bit integer exactly whatever the precision and rounding
// control, and no integer pattern raises an x87 exception. Each loop starts a 64-byte block of code, so
// that it never straddles one: a loop across a block boundary runs the x87 read at half the rate on
// some processors, which would make the figure depend on where the linker put it. Each loop leaves the
// register stack as it found it; the clobbered st registers tell the compiler the asm needs that much
// stack room.

MORVIT_KERNEL void ReadQWords(const void* buffer, int32_t count) {
  asm volatile(
      "test %[n], %[n]\n\t"
      "jz 2f\n\t"
      ".p2align 6\n"
      "1:\n\t"
      "fildll (%[p])\n\t"
      "fstp %%st(0)\n\t"
      "add $8, %[p]\n\t"
      "dec %[n]\n\t"
      "jnz 1b\n"
      "2:"
      : [p] "+r"(buffer), [n] "+r"(count)
      :
      : "memory", "cc", "st");
}

MORVIT_KERNEL void WriteQWords(void* buffer, int32_t count, int64_t value) {
  asm volatile(
      "fildll %[v]\n\t"
      "test %[n], %[n]\n\t"
      "jz 2f\n\t"
      ".p2align 6\n"
      "1:\n\t"
      "fld %%st(0)\n\t"
      "fistpll (%[p])\n\t"
      "add $8, %[p]\n\t"
      "dec %[n]\n\t"
      "jnz 1b\n"
      "2:\n\t"
      "fstp %%st(0)"
      : [p] "+r"(buffer), [n] "+r"(count)
      : [v] "m"(value)
      : "memory", "cc", "st", "st(1)");
}

MORVIT_KERNEL void CopyQWords(const void* source, void* destination, int32_t count) {
  asm volatile(
      "test %[n], %[n]\n\t"
      "jz 2f\n\t"
      ".p2align 6\n"
      "1:\n\t"
      "fildll (%[s])\n\t"
      "fistpll (%[d])\n\t"
      "add $8, %[s]\n\t"
      "add $8, %[d]\n\t"
      "dec %[n]\n\t"
      "jnz 1b\n"
      "2:"
      : [s] "+r"(source), [d] "+r"(destination), [n] "+r"(count)
      :
      : "memory", "cc", "st");
}

}  // namespace morvit
