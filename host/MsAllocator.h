// The allocation rule of Microsoft's C++ standard library (std::allocator, x64, Release): memory
// that the host's std::wstring and std::list free, or that they hand us to free, follows it.
//   bytes < 4096: a heap block as it is;
//   bytes >= 4096: a heap block of bytes + 39, the address handed out rounded up to a multiple of
//   32 with at least 8 bytes in front, and the heap block's address stored in the 8 bytes just
//   before it.
#pragma once

#include <cstddef>

namespace msstl {

constexpr size_t kBigAllocationThreshold = 4096;
constexpr size_t kBigAllocationAlignment = 32;
constexpr size_t kBigAllocationExtra = sizeof(void*) + kBigAllocationAlignment - 1; // 39

// bytes of memory by the rule above. Throws std::bad_alloc when the heap is exhausted.
[[nodiscard]] void* Allocate(size_t bytes);

// Returns memory that Allocate(bytes) gave, with the same bytes. A big block whose stored
// address is not 8 to 39 bytes in front ends the process, as Microsoft's library does.
void Deallocate(void* memory, size_t bytes);

// The heap block behind memory that the big-allocation rule gave; null when the 8 bytes in front
// of memory do not hold an address 8 to 39 bytes before it.
[[nodiscard]] void* BigAllocationBlock(void* memory);

} // namespace msstl
