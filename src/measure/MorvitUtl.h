#pragma once
// Utility unit: the arguments' upper-case form, the page buffers, and the transfer kernels that are the
// measured code.

#include <cstdint>
#include <string>

namespace morvit {

// The n-th program argument (ProgramArguments.h) with a to z turned into A to Z; every other byte unchanged.
std::string UpperParam(int32_t n);

// Page buffers from the operating system's page allocator: committed, zero-filled, starting on a page
// boundary. AllocPages raises "GetMem fail [Size = %d]" when the system refuses, leaving block null.
void AllocPages(void*& block, int32_t size);
void FreePages(void* block);

// The transfer kernels: one element of their width per step, ascending addresses, nothing else.
// Counts are elements (32-bit words or 64-bit words); a count of 0 touches no memory.
void ReadDWords(const void* buffer, int32_t count);
void WriteDWords(void* buffer, int32_t count, uint32_t value);
void CopyDWords(const void* source, void* destination, int32_t count);
// The 64-bit family moves through the x87 unit as 64-bit integers, which it holds exactly.
void ReadQWords(const void* buffer, int32_t count);
void WriteQWords(void* buffer, int32_t count, int64_t value);
void CopyQWords(const void* source, void* destination, int32_t count);

}  // namespace morvit
