#include "virid/Strings.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>

namespace {

using VIRid::strings::Replace;
using VIRid::strings::UTF8toWstr;
using VIRid::strings::WstrToUTF8;

TEST(Utf8, EveryPlaneRoundTrips) {
    const std::pair<std::wstring, std::string> cases[] = {
        {L"abc", "abc"},
        {L"\u00e9", "\xC3\xA9"},
        {L"\u4e2d", "\xE4\xB8\xAD"},
        {L"\U0001F600z", "\xF0\x9F\x98\x80z"},
        {std::wstring(L"a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(test.second, WstrToUTF8(test.first));
        EXPECT_EQ(test.first, UTF8toWstr(test.second));
    }
}

TEST(Utf8, InvalidInputBecomesReplacementCharacters) {
    const std::pair<std::string, std::wstring> cases[] = {
        {"a\xFF"
         "b",
         L"a\uFFFDb"},
        {"\xE4\xB8", L"\uFFFD"},         // cut short at the end
        {"\xE4\xB8x", L"\uFFFDx"},       // cut short before a plain byte
        {"\xC0\xAF", L"\uFFFD"},         // overlong
        {"\xED\xA0\x80", L"\uFFFD"},     // encoded surrogate
        {"\x80\xBF", L"\uFFFD\uFFFD"},   // stray continuations
        {"\xF4\x90\x80\x80", L"\uFFFD"}, // beyond U+10FFFF
    };
    for (const auto& test : cases)
        EXPECT_EQ(test.second, UTF8toWstr(test.first)) << test.first;
}

TEST(Utf8, LoneSurrogatesAreReplaced) {
    if (sizeof(wchar_t) != 2)
        GTEST_SKIP() << "UTF-16 only";
    std::wstring lone;
    lone += static_cast<wchar_t>(0xD800);
    lone += L'a';
    EXPECT_EQ("\xEF\xBF\xBD"
              "a",
              WstrToUTF8(lone));
}

TEST(Utf8, RandomBytesNeverCrashAndValidTextRoundTrips) {
    std::mt19937 random(99);
    for (int round = 0; round < 5000; ++round) {
        std::string bytes(random() % 16, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random());
        const std::wstring wide = UTF8toWstr(bytes);
        // Whatever came in, the decoded text is valid and survives a round trip.
        ASSERT_EQ(wide, UTF8toWstr(WstrToUTF8(wide)));
    }
}

TEST(ReplaceText, ReplacesEveryOccurrenceWithoutRescanning) {
    EXPECT_EQ(L"a-b-c", Replace(L"a/b/c", L"/", L"-"));
    EXPECT_EQ(L"%25%25", Replace(L"%%", L"%", L"%25"));
    EXPECT_EQ(L"line", Replace(L"l\rin\re\r", L"\r", L""));
    EXPECT_EQ(L"xx", Replace(L"aaaa", L"aa", L"x"));
    EXPECT_EQ(L"same", Replace(L"same", L"", L"x"));
    EXPECT_EQ(L"", Replace(L"", L"a", L"b"));
}

} // namespace
