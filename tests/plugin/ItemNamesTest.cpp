#include "plugin/ItemNames.h"

#include <gtest/gtest.h>

namespace {

TEST(ItemNames, EscapesEachForbiddenCharacterAndPercentOnly) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"a%2Fb", L"a%252Fb"},
        {L"a b.c-d_e", L"a b.c-d_e"},
        {L"\u00e9t\u00e9", L"\u00e9t\u00e9"},
        {L"", L""},
        {L"/\\:*?\"<>|%", L"%2F%5C%3A%2A%3F%22%3C%3E%7C%25"}};
    for (const auto& test : cases) {
        EXPECT_EQ(test.second, EscapeItemName(test.first));
        EXPECT_EQ(test.first, UnescapeItemName(test.second));
    }
    // Unescaping takes only what escaping writes: other percent sequences survive a round trip.
    for (const wchar_t* name : {L"%25", L"%%2F", L"%5C\\", L"%", L"%2", L"100%%3A", L"ORCL"})
        EXPECT_EQ(name, UnescapeItemName(EscapeItemName(name))) << name;
}

} // namespace
