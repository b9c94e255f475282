#include "host/MsString.h"
#include "host/MsAllocator.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

std::wstring Text(size_t length) {
    std::wstring text;
    for (size_t i = 0; i < length; ++i)
        text += static_cast<wchar_t>(L'a' + i % 26);
    return text;
}

// Checks the layout invariants of a live string holding expected.
void ExpectHolds(const msstl::WString& string, const std::wstring& expected) {
    EXPECT_EQ(expected.size(), string.size);
    EXPECT_GE(string.capacity, string.size);
    EXPECT_EQ(0, string.Data()[string.size]);
    EXPECT_EQ(expected, string.ToStd());
    if ((string.capacity + 1) * 2 >= msstl::kBigAllocationThreshold) {
        EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(string.pointer) % 32);
    }
}

// Lengths on both sides of small mode (7/8) and of the big-allocation rule: a capacity of 2039
// takes 4,080 bytes, one of 2047 takes 4,096.
const size_t kLengths[] = {0, 1, 7, 8, 15, 16, 2039, 2040, 2047, 2048, 5000};

// A string of every length takes a text of every length; the old buffer is freed when a new one
// is needed (the leak checker sees any that is not) and reused when the text fits.
TEST(MsString, ConstructsAndAssignsEveryLengthOverEveryLength) {
    for (size_t before : kLengths)
        for (size_t after : kLengths) {
            SCOPED_TRACE(testing::Message() << before << " -> " << after);
            msstl::WString string;
            msstl::Construct(string, Text(before));
            ExpectHolds(string, Text(before));
            EXPECT_EQ(before > 7, string.IsLarge());
            const msstl::Char* oldData = string.Data();
            const size_t oldCapacity = string.capacity;
            msstl::Assign(string, Text(after));
            ExpectHolds(string, Text(after));
            if (after <= oldCapacity) {
                EXPECT_EQ(oldData, string.Data());
            }
            msstl::Destroy(string);
            ExpectHolds(string, L"");
        }
}

} // namespace
