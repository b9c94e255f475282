#include "virid/FormatString.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// %s takes a wide text, %hs a narrow one, %I64d and %I64u 64-bit numbers, as in Microsoft's
// library; percent signs, plain text and Recovery Manager's own variables pass through, and texts
// longer than any fixed buffer are kept whole.
TEST(FormatString, MicrosoftConversionsReadTheirArgumentsAndTheRestPassesThrough) {
    EXPECT_EQ(L"connect target sys/pw\n", FormatString(L"connect target %s/%s\n", L"sys", L"pw"));
    EXPECT_EQ(L"[\u00e9\u4e2d]x", FormatString(L"[%s]%c", L"\u00e9\u4e2d", L'x'));
    EXPECT_EQ(L"Unable to start C:\\a.exe", FormatString(L"Unable to start %hs", "C:\\a.exe"));
    EXPECT_EQ(L"C:\\T\\1765000000123.ora",
              FormatString(L"%s%I64d.ora", L"C:\\T\\", static_cast<int64_t>(1765000000123LL)));
    EXPECT_EQ(L"18446744073709551615", FormatString(L"%I64u", UINT64_MAX));
    EXPECT_EQ(L"100% done, 7", FormatString(L"100%% done, %d", 7));
    EXPECT_EQ(L"   42|2a|-7", FormatString(L"%5d|%x|%d", 42, 42, -7));
    EXPECT_EQ(L"format 'C:\\T\\%d-%I-%T-%U.bcp'",
              FormatString(L"format '%s'", L"C:\\T\\%d-%I-%T-%U.bcp"));
    const std::wstring longText(100000, L'a');
    EXPECT_EQ(L"<" + longText + L"|end>", FormatString(L"<%s|%s>", longText.c_str(), L"end"));
}

} // namespace
