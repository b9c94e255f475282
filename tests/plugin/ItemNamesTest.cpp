#include "plugin/ItemNames.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(ItemNames, EscapesEachForbiddenCharacterAndPercent) {
    EXPECT_EQ(L"a%2Fb", EscapeItemName(L"a/b"));
    EXPECT_EQ(L"50%25", EscapeItemName(L"50%"));
    EXPECT_EQ(L"%2F%5C%3A%2A%3F%22%3C%3E%7C%25", EscapeItemName(L"/\\:*?\"<>|%"));
    EXPECT_EQ(L"A%5CB", EscapeItemName(L"A\\B"));
    EXPECT_EQ(L"", EscapeItemName(L""));
}

TEST(ItemNames, PlainNamesPassThroughUnchanged) {
    for (const wchar_t* name : {L"ORCL", L"OraDB19Home1", L"a b.c-d_e", L"\u00e9t\u00e9", L""}) {
        EXPECT_EQ(name, EscapeItemName(name));
        EXPECT_EQ(name, UnescapeItemName(name));
    }
}

TEST(ItemNames, PercentSequencesInNamesSurviveTheRoundTrip) {
    EXPECT_EQ(L"a%252Fb", EscapeItemName(L"a%2Fb"));
    EXPECT_EQ(L"a%2Fb", UnescapeItemName(L"a%252Fb"));
    for (const wchar_t* name : {L"%25", L"%%2F", L"%5C\\", L"%", L"%2", L"100%%3A"})
        EXPECT_EQ(name, UnescapeItemName(EscapeItemName(name))) << name;
}

TEST(ItemNames, EscapedNamesHoldNoForbiddenCharacter) {
    EXPECT_EQ(std::wstring::npos,
              EscapeItemName(L"C:\\ora\\db|x<y>\"z\"?*").find_first_of(L"/\\:*?\"<>|"));
}

TEST(ItemNames, RandomNamesRoundTrip) {
    const std::wstring alphabet = L"/\\:*?\"<>|%25FCAabc ";
    std::mt19937 random(1234);
    for (int round = 0; round < 2000; ++round) {
        std::wstring name;
        const size_t length = random() % 12;
        for (size_t i = 0; i < length; ++i)
            name += alphabet[random() % alphabet.size()];
        const std::wstring escaped = EscapeItemName(name);
        ASSERT_EQ(std::wstring::npos, escaped.find_first_of(L"/\\:*?\"<>|")) << escaped;
        ASSERT_EQ(name, UnescapeItemName(escaped)) << escaped;
    }
}

} // namespace
