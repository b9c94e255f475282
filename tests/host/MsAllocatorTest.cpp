#include "host/MsAllocator.h"
#include "host/CrtHeap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

TEST(MsAllocator, RejectsAStoredAddressOutsideTheRule) {
    alignas(32) unsigned char area[128] = {};
    unsigned char* memory = area + 64;
    struct Case {
        intptr_t distance;
        bool accepted;
    };
    for (const Case& c : {Case{8, true}, Case{39, true}, Case{7, false}, Case{40, false},
                          Case{0, false}, Case{-8, false}}) {
        const uintptr_t stored = reinterpret_cast<uintptr_t>(memory) - c.distance;
        std::memcpy(memory - sizeof stored, &stored, sizeof stored);
        EXPECT_EQ(c.accepted, msstl::BigAllocationBlock(memory) != nullptr) << c.distance;
    }
}

// The host's side of the exchange, written from the Microsoft library's rule and not from ours:
// from 4,096 bytes on, 39 bytes more, the address rounded up to 32 with the block's address in
// the 8 bytes before it; below, a plain heap block.
const size_t kHostBigAllocation = 4096;

void* HostAllocate(size_t bytes) {
    if (bytes < kHostBigAllocation)
        return msstl::CrtAllocate(bytes);
    const uintptr_t block = reinterpret_cast<uintptr_t>(msstl::CrtAllocate(bytes + 39));
    const uintptr_t memory = (block + 39) & ~static_cast<uintptr_t>(31);
    std::memcpy(reinterpret_cast<void*>(memory - 8), &block, sizeof block);
    return reinterpret_cast<void*>(memory);
}

// Frees memory by the rule; false, freeing nothing, when a big one does not follow it.
bool HostFree(void* memory, size_t bytes) {
    if (bytes < kHostBigAllocation) {
        msstl::CrtFree(memory);
        return true;
    }
    const uintptr_t address = reinterpret_cast<uintptr_t>(memory);
    if (address % 32 != 0)
        return false;
    uintptr_t block = 0;
    std::memcpy(&block, reinterpret_cast<void*>(address - 8), sizeof block);
    if (block > address || address - block < 8 || address - block > 39)
        return false;
    msstl::CrtFree(reinterpret_cast<void*>(block));
    return true;
}

// On both sides of the big-allocation rule, the host frees what the plug-in allocated and the
// plug-in frees what the host allocated, with the size alone telling the rule.
TEST(MsAllocator, MemoryChangesHandsAcrossTheBigAllocationRule) {
    for (const size_t bytes : {size_t{4095}, size_t{4096}, size_t{4097}}) {
        SCOPED_TRACE(bytes);
        void* ours = msstl::Allocate(bytes);
        std::memset(ours, 0x5A, bytes);
        EXPECT_TRUE(HostFree(ours, bytes));
        void* hosts = HostAllocate(bytes);
        std::memset(hosts, 0xA5, bytes);
        msstl::Deallocate(hosts, bytes);
    }
}

} // namespace
