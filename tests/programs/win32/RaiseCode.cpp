#include <windows.h>

#include <cstdint>

void RaiseCode(uint32_t code) { RaiseException(code, 0, 0, nullptr); }
