#pragma once
// MORVIT_RUNS_IN_HANDLER marks a function of the platform layer that runs where ordinary code may not:
//  - in a signal handler (POSIX) or a structured exception handler or filter (Win32), on a thread that was
//    interrupted at an arbitrary instruction;
//  - on a thread the system starts for a console event, or on one that faulted, while the program's own
//    thread is stopped at an arbitrary instruction (Win32).
// The interrupted or stopped code may hold any lock: the heap's, the loader's, the C runtime's, the unwinder's.
// So such a function
//  - allocates nothing and calls nothing that may (no std::string, no iostreams or stdio); texts it writes were
//    made beforehand, while the program's thread ran;
//  - calls only what takes no lock the stopped code could hold: on POSIX the async-signal-safe functions
//    (write, _exit, raise, setitimer, sigaction), on Win32 the kernel32 thread, wait and file calls;
//  - changes shared state only by atomic compare-and-exchange (platform/Platform.cpp), so that one thread alone
//    acts on each step;
//  - throws only where platform/SafeCode.h allows it, or from a fault of the program's own code (not the
//    runtime's), which the unwind tables cover: the throw itself is the C++ runtime's and may allocate;
//  - ends the process, if it does, without the runtime's exit handlers (_exit, TerminateProcess).
// Each platform file opens with what these rules mean for its own functions.
#define MORVIT_RUNS_IN_HANDLER
