#pragma once
// The calling convention of the platform's COM interfaces and DLL entry points: __stdcall on 32-bit
// Windows, the native convention elsewhere (where only test doubles implement them).
#if defined(_WIN32)
#define MORVIT_STDCALL __stdcall
#else
#define MORVIT_STDCALL
#endif
