#include "virid/Strings.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using VIRid::strings::Replace;
using VIRid::strings::UTF8toWstr;
using VIRid::strings::WstrToUTF8;

TEST(Utf8, EncodesEveryPlane) {
    EXPECT_EQ("abc", WstrToUTF8(L"abc"));
    EXPECT_EQ("\xC3\xA9", WstrToUTF8(L"\u00e9"));
    EXPECT_EQ("\xE4\xB8\xAD", WstrToUTF8(L"\u4e2d"));
    EXPECT_EQ("\xF0\x9F\x98\x80", WstrToUTF8(L"\U0001F600"));
    EXPECT_EQ(std::string("a\0b", 3), WstrToUTF8(std::wstring(L"a\0b", 3)));
}

TEST(Utf8, DecodesEveryPlane) {
    EXPECT_EQ(L"\u00e9\u4e2d\U0001F600z", UTF8toWstr("\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80z"));
}

TEST(Utf8, InvalidInputBecomesReplacementCharacters) {
    EXPECT_EQ(L"a\uFFFDb", UTF8toWstr("a\xFF"
                                      "b"));
    EXPECT_EQ(L"\uFFFD", UTF8toWstr("\xE4\xB8"));         // cut short at the end
    EXPECT_EQ(L"\uFFFDx", UTF8toWstr("\xE4\xB8x"));       // cut short before a plain byte
    EXPECT_EQ(L"\uFFFD", UTF8toWstr("\xC0\xAF"));         // overlong
    EXPECT_EQ(L"\uFFFD", UTF8toWstr("\xED\xA0\x80"));     // encoded surrogate
    EXPECT_EQ(L"\uFFFD\uFFFD", UTF8toWstr("\x80\xBF"));   // stray continuations
    EXPECT_EQ(L"\uFFFD", UTF8toWstr("\xF4\x90\x80\x80")); // beyond U+10FFFF
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
