#include "host/HostItems.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

// Appends entries as EnumItems does into a list that the test, as the host, made and frees.
TEST(HostItems, AppendedEntriesAreLinkedInOrderAndFreedByTheHost) {
    const std::vector<std::wstring> names = {L"ORCL", L"OraDB19Home1", std::wstring(3000, L'x')};
    HostItemList list;
    msstl::ConstructList(list);
    for (const std::wstring& name : names)
        msstl::Append(list, [&](HostItemEntry& entry) {
            entry.info = HostItemInfo{0, 0, 0, 0, 0x80, 0, {}};
            msstl::ConstructEmpty(entry.info.infoText);
            msstl::Construct(entry.name, name);
            msstl::ConstructEmpty(entry.entryText);
        });
    ASSERT_EQ(names.size(), list.size);
    std::vector<std::wstring> seen;
    msstl::ForEach(list, [&](const HostItemEntry& entry) { seen.push_back(entry.name.ToStd()); });
    EXPECT_EQ(names, seen);
    EXPECT_EQ(list.head, list.head->next->prev);

    // A value that fails to construct leaves the list as it was.
    EXPECT_THROW(msstl::Append(list, [](HostItemEntry&) { throw std::length_error("x"); }),
                 std::length_error);
    EXPECT_EQ(names.size(), list.size);

    msstl::DestroyList(list, DestroyHostItemEntry);
}

} // namespace
