#include "tools/simdb/Registry.h"
#include "virid/Registry.h"

#include <gtest/gtest.h>

namespace {

using VIRid::system::CRegistry;

const std::wstring kRoot = L"SOFTWARE\\OraclePluginTests\\Registry";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { simoracle::DeleteRegistryKey(kRoot); }
    void TearDown() override { simoracle::DeleteRegistryKey(kRoot); }
};

TEST_F(RegistryTest, ListsImmediateSubkeysAndReadsTheValuesOfTheOpenKeyOnly) {
    CRegistry registry(HKEY_LOCAL_MACHINE);
    EXPECT_TRUE(registry.EnumSubKeys(kRoot.c_str()).empty()); // an absent key
    EXPECT_FALSE(registry.Open(kRoot.c_str()));
    const std::pair<const wchar_t*, std::wstring> values[] = {
        {L"ORACLE_HOME", L"C:\\ora\\db \u00e9"},
        {L"Empty", L""},
        {L"Long", std::wstring(5000, L'x')}};
    for (const auto& value : values)
        ASSERT_TRUE(simoracle::WriteRegistryString(kRoot + L"\\K", value.first, value.second));
    ASSERT_TRUE(simoracle::WriteRegistryString(kRoot + L"\\other name\\Deeper", L"", L""));
    std::list<std::wstring> names = registry.EnumSubKeys(kRoot.c_str());
    names.sort();
    EXPECT_EQ((std::list<std::wstring>{L"K", L"other name"}), names);

    std::wstring value = L"untouched";
    EXPECT_FALSE(registry.Read(L"ORACLE_HOME", value)); // nothing open
    ASSERT_TRUE(registry.Open((kRoot + L"\\K").c_str()));
    EXPECT_FALSE(registry.Read(L"ORACLE_HOME_NAME", value)); // a missing value fails the triple
    EXPECT_EQ(L"untouched", value);
    for (const auto& expected : values) {
        EXPECT_TRUE(registry.Read(expected.first, value));
        EXPECT_EQ(expected.second, value);
    }
    registry.Close();
    EXPECT_FALSE(registry.Read(L"ORACLE_HOME", value)); // nothing open any more
}

} // namespace
