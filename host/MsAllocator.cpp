#include "host/MsAllocator.h"

#include "host/CrtHeap.h"

#include <cstdint>
#include <cstdlib>
#include <new>

namespace msstl {

void* Allocate(size_t bytes) {
    if (bytes < kBigAllocationThreshold) {
        void* block = CrtAllocate(bytes);
        if (block == nullptr)
            throw std::bad_alloc();
        return block;
    }
    if (bytes + kBigAllocationExtra < bytes)
        throw std::bad_alloc();
    void* block = CrtAllocate(bytes + kBigAllocationExtra);
    if (block == nullptr)
        throw std::bad_alloc();
    const uintptr_t start = reinterpret_cast<uintptr_t>(block);
    const uintptr_t aligned =
        (start + kBigAllocationExtra) & ~static_cast<uintptr_t>(kBigAllocationAlignment - 1);
    reinterpret_cast<uintptr_t*>(aligned)[-1] = start;
    return reinterpret_cast<void*>(aligned);
}

void* BigAllocationBlock(void* memory) {
    const uintptr_t address = reinterpret_cast<uintptr_t>(memory);
    const uintptr_t block = reinterpret_cast<const uintptr_t*>(memory)[-1];
    const uintptr_t distance = address - block;
    if (block > address || distance < sizeof(void*) || distance > kBigAllocationExtra)
        return nullptr;
    return reinterpret_cast<void*>(block);
}

void Deallocate(void* memory, size_t bytes) {
    if (memory == nullptr)
        return;
    if (bytes < kBigAllocationThreshold) {
        CrtFree(memory);
        return;
    }
    void* block = BigAllocationBlock(memory);
    // Freeing a guessed address would damage the heap in a way that shows up much later.
    if (block == nullptr)
        std::abort();
    CrtFree(block);
}

} // namespace msstl
