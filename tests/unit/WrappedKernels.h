#pragma once
// The transfer kernels that the unit-test link wraps (-Wl,--wrap=SYMBOL): a call of SYMBOL reaches the test's
// __wrap_SYMBOL, and __real_SYMBOL names the kernel itself. tests/CMakeLists.txt reads the symbols from the
// lines below; MemoryTestsTest.cpp declares both functions of each with the kernel's own type and refers to
// the real one, so that a kernel renamed or given another signature fails the link.
#define MORVIT_READ_DWORDS _ZN6morvit10ReadDWordsEPKvi
#define MORVIT_WRITE_DWORDS _ZN6morvit11WriteDWordsEPvij
#define MORVIT_COPY_DWORDS _ZN6morvit10CopyDWordsEPKvPvi
#define MORVIT_READ_QWORDS _ZN6morvit10ReadQWordsEPKvi
#define MORVIT_WRITE_QWORDS _ZN6morvit11WriteQWordsEPvil
#define MORVIT_COPY_QWORDS _ZN6morvit10CopyQWordsEPKvPvi

#define MORVIT_PASTE(prefix, symbol) prefix##symbol
#define MORVIT_WRAP(symbol) MORVIT_PASTE(__wrap_, symbol)
#define MORVIT_REAL(symbol) MORVIT_PASTE(__real_, symbol)
