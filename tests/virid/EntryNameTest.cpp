#include "virid/EntryName.h"

#include <gtest/gtest.h>

namespace {

using VIRid::entryname::NameCheck;
using VIRid::entryname::Normalize;

TEST(EntryName, NormalizesTarSpellingsAndRefusesWhatCouldEscapeOrMeanSomethingElse) {
    const std::pair<std::string, std::string> cases[] = {
        {"com10", "com10"},
        {"console.log", "console.log"},
        {"a.b.c", "a.b.c"},
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

    const char* const unsafe[] = {
        "",         "/a",   "//server/share", "../a",        "a/../b",       "a/..",  "a\\b",
        "C:",       "C:/a", "a:stream",       "CON",         "con.txt",      "NUL",   "aux.tar.gz",
        "a/PRN/b",  "COM1", "lpt9",           "COM\xC2\xB2", "conin$",       "a.",    "a ",
        "nul .txt", "a//b", "a\nb",           "a*",          "a?",           "a|b",   "a<b",
        "a>b",      "a\"b", "\xC3",           "\xFF",        "\xED\xA0\x80", "a\x7F",
    };
    EXPECT_EQ(NameCheck::Unsafe, Normalize(std::string(4097, 'a'), name));
    for (const char* stored : unsafe)
        EXPECT_EQ(NameCheck::Unsafe, Normalize(stored, name)) << stored;
}

} // namespace
