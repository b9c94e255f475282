#include "virid/EntryName.h"

#include <gtest/gtest.h>

namespace {

using VIRid::entryname::NameCheck;
using VIRid::entryname::Normalize;

TEST(EntryName, NormalizesTarSpellingsAndRefusesWhatCouldEscapeOrMeanSomethingElse) {
    const std::pair<std::string, std::string> cases[] = {
        {"com10", "com10"},
        {"console.log", "console.log"},
        {".hidden", ".hidden"},
        {std::string(4096, 'a'), std::string(4096, 'a')},
    };
    for (const auto& test : cases) {
        std::string name;
        EXPECT_EQ(NameCheck::Ok, Normalize(test.first, name)) << test.first;
        EXPECT_EQ(test.second, name);
    }
    std::string name = "before";
    EXPECT_EQ(NameCheck::Root, Normalize(".", name));
    EXPECT_EQ("", name);

    // Every other unsafe name is in the packer's table of names that it refuses in a stream.
    EXPECT_EQ(NameCheck::Unsafe, Normalize("", name));
    EXPECT_EQ(NameCheck::Unsafe, Normalize(std::string(4097, 'a'), name));
}

} // namespace
