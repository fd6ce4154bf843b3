#include <cstdint>
#include <cstdlib>

// Linux has no exception codes to raise.
void RaiseCode(uint32_t) { std::abort(); }
