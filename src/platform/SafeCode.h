#pragma once
// Code from whose every instruction a key may be thrown on the program's thread (ConvertInterrupts): the
// transfer kernels and the memory tests around their pass loops, where a long run spends its time. A
// function belongs here only when all of this holds:
//  - it is the program's own code, built with unwind tables that are exact at every instruction
//    (-fnon-call-exceptions, -fasynchronous-unwind-tables);
//  - its frame has nothing to clean up and catches nothing (no destructors, no try): the unwinder finds a
//    frame's clean-up only at the instructions its table lists, and anywhere else ends in std::terminate;
//  - it takes no lock and keeps no state half-changed; the calls it makes leave it, and the code they
//    reach is judged on its own.
// The runtime (unwinder, C++ library, C library, heap) never qualifies: it takes locks and is not built for
// a throw at an arbitrary instruction. The platform layer finds these functions between two markers.
#if defined(_WIN32)
// GNU ld sorts the .text$ sections by name: the markers' sections end in _a and _z.
#define MORVIT_SAFE_CODE __attribute__((section(".text$morvit_safe_m")))
#else
// The linker defines __start_ and __stop_ symbols around a section whose name is an identifier.
#define MORVIT_SAFE_CODE __attribute__((section("morvit_safe")))
#endif
