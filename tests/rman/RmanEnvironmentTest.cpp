#include "rman/RmanEnvironment.h"

#include <gtest/gtest.h>

namespace {

TEST(RmanEnvironment, OverridesReplaceOrAddVariablesInASortedBlock) {
    const wchar_t expected[] = L"=C:=C:\\work\0NLS_LANG=AMERICAN_AMERICA.AL32UTF8\0"
                               L"ORACLE_SID=ORCL\0Path=C:\\bin\0TEMP=C:\\t\0\0";
    EXPECT_EQ(
        std::wstring(expected, sizeof(expected) / sizeof(expected[0]) - 1),
        EnvironmentBlock({L"=C:=C:\\work", L"Path=C:\\bin", L"oracle_sid=HOST", L"TEMP=C:\\t"},
                         {{L"ORACLE_SID", L"ORCL"}, {L"NLS_LANG", L"AMERICAN_AMERICA.AL32UTF8"}}));
}

} // namespace
