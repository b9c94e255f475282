#include "virid/Strings.h"

#include <gtest/gtest.h>

namespace {

using VIRid::strings::ParseDecimal;
using VIRid::strings::Replace;
using VIRid::strings::UTF8toWstr;
using VIRid::strings::WstrToUTF8;

TEST(Utf8, EveryPlaneRoundTripsAndInvalidInputBecomesReplacementCharacters) {
    struct Case {
        std::string utf8;
        std::wstring wide;
        bool roundTrips; // else only decoded: invalid input
    };
    const Case cases[] = {
        {"abc", L"abc", true},
        {"\xC3\xA9", L"\u00e9", true},
        {"\xE4\xB8\xAD", L"\u4e2d", true},
        {"\xF0\x9F\x98\x80z", L"\U0001F600z", true},
        {std::string("a\0b", 3), std::wstring(L"a\0b", 3), true},
        {"a\xFF"
         "b",
         L"a\uFFFDb", false},
        {"\xE4\xB8", L"\uFFFD", false},         // cut short at the end
        {"\xE4\xB8x", L"\uFFFDx", false},       // cut short before a plain byte
        {"\xC0\xAF", L"\uFFFD", false},         // overlong
        {"\xED\xA0\x80", L"\uFFFD", false},     // encoded surrogate
        {"\x80\xBF", L"\uFFFD\uFFFD", false},   // stray continuations
        {"\xF4\x90\x80\x80", L"\uFFFD", false}, // beyond U+10FFFF
    };
    for (const Case& test : cases) {
        EXPECT_EQ(test.wide, UTF8toWstr(test.utf8)) << test.utf8;
        if (test.roundTrips) {
            EXPECT_EQ(test.utf8, WstrToUTF8(test.wide));
        }
    }
    if (sizeof(wchar_t) == 2) { // a lone UTF-16 surrogate
        EXPECT_EQ("\xEF\xBF\xBD"
                  "a",
                  WstrToUTF8(std::wstring{static_cast<wchar_t>(0xD800), L'a'}));
    }
}

TEST(ReplaceText, ReplacesEveryOccurrenceWithoutRescanning) {
    EXPECT_EQ(L"%25%25", Replace(L"%%", L"%", L"%25"));
    EXPECT_EQ(L"line", Replace(L"l\rin\re\r", L"\r", L""));
    EXPECT_EQ(L"xx", Replace(L"aaaa", L"aa", L"x"));
    EXPECT_EQ(L"same", Replace(L"same", L"", L"x"));
}

TEST(SplitLines, LineFeedsEndLinesAndCarriageReturnsGo) {
    using Lines = std::vector<std::wstring>;
    const std::pair<std::wstring, Lines> cases[] = {
        {L"", Lines{}},
        {L"\n", Lines{L""}},
        {L"a\r\n\nb", Lines{L"a", L"", L"b"}},
        {L"a\nb\r\n", Lines{L"a", L"b"}},
        {L"piece handle=x\r", Lines{L"piece handle=x"}},
    };
    for (const auto& [text, lines] : cases)
        EXPECT_EQ(lines, VIRid::strings::SplitLines(text)) << testing::PrintToString(text);
}

// What Recovery Manager prints as a number, and nothing else.
TEST(DecimalText, OnlyDigitsUpToNineteenOfThemAreANumber) {
    unsigned long long number = 7;
    EXPECT_TRUE(ParseDecimal(L"0", number));
    EXPECT_EQ(0u, number);
    EXPECT_TRUE(ParseDecimal(L"9999999999999999999", number));
    EXPECT_EQ(9999999999999999999ULL, number);
    for (const wchar_t* text :
         {L"", L"-1", L" 1", L"1 ", L"1a", L"\x0661", L"10000000000000000000"})
        EXPECT_FALSE(ParseDecimal(text, number)) << testing::PrintToString(std::wstring(text));
    EXPECT_EQ(9999999999999999999ULL, number) << "left as it was";
}

} // namespace
