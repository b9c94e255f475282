#include "host/MsAllocator.h"

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

} // namespace
