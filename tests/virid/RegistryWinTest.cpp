#include "tests/support/win/TestRegistry.h"
#include "virid/Registry.h"

#include <gtest/gtest.h>

namespace {

using testing_support::DeleteRegistryTree;
using testing_support::SetRegistryString;
using VIRid::system::CRegistry;

const std::wstring kRoot = L"SOFTWARE\\OraclePluginTests\\Registry";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteRegistryTree(kRoot); }
    void TearDown() override { DeleteRegistryTree(kRoot); }
};

TEST_F(RegistryTest, AbsentKeyGivesAnEmptyList) {
    CRegistry registry(HKEY_LOCAL_MACHINE);
    EXPECT_TRUE(registry.EnumSubKeys((kRoot + L"\\Missing").c_str()).empty());
}

TEST_F(RegistryTest, EnumeratesImmediateSubkeyNamesOnly) {
    SetRegistryString(kRoot + L"\\KEY_A", L"V", L"1");
    SetRegistryString(kRoot + L"\\KEY_B\\Deeper", L"", L"");
    SetRegistryString(kRoot + L"\\other name", L"", L"");
    CRegistry registry(HKEY_LOCAL_MACHINE);
    std::list<std::wstring> names = registry.EnumSubKeys(kRoot.c_str());
    names.sort();
    EXPECT_EQ((std::list<std::wstring>{L"KEY_A", L"KEY_B", L"other name"}), names);
}

TEST_F(RegistryTest, OpenReadCloseTriple) {
    SetRegistryString(kRoot + L"\\KEY_A", L"ORACLE_HOME", L"C:\\ora\\db \u00e9");
    CRegistry registry(HKEY_LOCAL_MACHINE);
    std::wstring value = L"untouched";
    ASSERT_TRUE(registry.Open((kRoot + L"\\KEY_A").c_str()));
    EXPECT_TRUE(registry.Read(L"ORACLE_HOME", value));
    EXPECT_EQ(L"C:\\ora\\db \u00e9", value);
    value = L"untouched";
    EXPECT_FALSE(registry.Read(L"ORACLE_HOME_NAME", value)); // a missing value fails the triple
    EXPECT_EQ(L"untouched", value);
    registry.Close();
    EXPECT_FALSE(registry.Read(L"ORACLE_HOME", value)); // nothing open any more
}

TEST_F(RegistryTest, OpenOfAnAbsentKeyFails) {
    CRegistry registry(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(registry.Open((kRoot + L"\\Nowhere").c_str()));
    std::wstring value;
    EXPECT_FALSE(registry.Read(L"ImagePath", value));
}

TEST_F(RegistryTest, ReadsEmptyAndLongValues) {
    const std::wstring longValue(5000, L'x');
    SetRegistryString(kRoot + L"\\K", L"Empty", L"");
    SetRegistryString(kRoot + L"\\K", L"Long", longValue);
    CRegistry registry(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(registry.Open((kRoot + L"\\K").c_str()));
    std::wstring value = L"x";
    EXPECT_TRUE(registry.Read(L"Empty", value));
    EXPECT_EQ(L"", value);
    EXPECT_TRUE(registry.Read(L"Long", value));
    EXPECT_EQ(longValue, value);
}

} // namespace
