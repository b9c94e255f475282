#include "host/MsAllocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

TEST(MsAllocator, BigBlocksAreAlignedAndCarryTheirHeapAddress) {
    for (size_t bytes : {1u, 16u, 152u, 4095u, 4096u, 4097u, 100000u}) {
        void* memory = msstl::Allocate(bytes);
        std::memset(memory, 0xA5, bytes); // the sanitizer checks that all of it is ours
        const uintptr_t address = reinterpret_cast<uintptr_t>(memory);
        if (bytes >= msstl::kBigAllocationThreshold) {
            EXPECT_EQ(0u, address % 32) << bytes;
        }
        // A stored block address outside the rule aborts; a wrong one inside it is a bad free for
        // the sanitizer.
        msstl::Deallocate(memory, bytes);
    }
}

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

} // namespace
