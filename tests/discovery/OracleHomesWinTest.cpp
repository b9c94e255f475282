#include "discovery/OracleHomes.h"
#include "tests/discovery/OracleRegistryFixture.h"

#include <list>

namespace {

typedef OracleRegistryTest OracleHomesTest;

TEST_F(OracleHomesTest, NoOracleKeyGivesAnEmptyTable) {
    EXPECT_TRUE(GetOracleHomes().empty());
}

TEST_F(OracleHomesTest, OnlySubkeysStartingWithUpperCaseKeyCount) {
    AddHome(L"key_lower", L"lower", L"C:\\lower");
    AddHome(L"HOME_A", L"other", L"C:\\other");
    AddHome(L"XKEY_A", L"prefixed", L"C:\\prefixed");
    AddHome(L"Key_Mixed", L"mixed", L"C:\\mixed");
    EXPECT_TRUE(GetOracleHomes().empty());

    AddHome(L"KEY_", L"bare", L"C:\\bare");
    AddHome(L"KEY_OraDb11g_home1", L"OraDb11g_home1", L"C:\\app\\product\\11.2.0\\dbhome_1");
    const OracleHomeTable expected = {
        {L"OraDb11g_home1", L"C:\\app\\product\\11.2.0\\dbhome_1"},
        {L"bare", L"C:\\bare"},
    };
    EXPECT_EQ(expected, GetOracleHomes());
}

TEST_F(OracleHomesTest, ASubkeyLackingEitherValueIsSkipped) {
    AddHome(L"KEY_NAME_ONLY", L"nameOnly", nullptr);
    AddHome(L"KEY_DIR_ONLY", nullptr, L"C:\\dirOnly");
    AddHome(L"KEY_NEITHER", nullptr, nullptr);
    AddHome(L"KEY_BOTH", L"both", L"C:\\both");
    const OracleHomeTable expected = {{L"both", L"C:\\both"}};
    EXPECT_EQ(expected, GetOracleHomes());
}

TEST_F(OracleHomesTest, TheFirstSubkeyEnumeratedKeepsADuplicateName) {
    AddHome(L"KEY_1", L"shared", L"C:\\first");
    AddHome(L"KEY_2", L"shared", L"C:\\second");
    VIRid::system::CRegistry registry(HKEY_LOCAL_MACHINE);
    ASSERT_EQ((std::list<std::wstring>{L"KEY_1", L"KEY_2"}),
              registry.EnumSubKeys(kOracleKey.c_str()));

    const OracleHomeTable expected = {{L"shared", L"C:\\first"}};
    EXPECT_EQ(expected, GetOracleHomes());
}

TEST_F(OracleHomesTest, NamesDifferingInCaseAreTwoHomesInOrdinalOrder) {
    AddHome(L"KEY_1", L"home", L"C:\\lower");
    AddHome(L"KEY_2", L"Home", L"C:\\capital");
    AddHome(L"KEY_3", L"HOME", L"C:\\upper");
    const OracleHomeTable homes = GetOracleHomes();
    std::list<std::wstring> names;
    for (const auto& home : homes)
        names.push_back(home.first);
    EXPECT_EQ((std::list<std::wstring>{L"HOME", L"Home", L"home"}), names);
    EXPECT_EQ(L"C:\\capital", homes.at(L"Home"));
}

TEST_F(OracleHomesTest, KeyedByTheHomeNameValueWithTheDirectoryAsRegistered) {
    AddHome(L"KEY_A", L"Home Name \u00e9", L"c:\\Oracle Homes\\Db1\\ ");
    AddHome(L"KEY_EMPTY_NAME", L"", L"C:\\nameless");
    AddHome(L"KEY_EMPTY_DIR", L"dirless", L"");
    const OracleHomeTable expected = {{L"", L"C:\\nameless"},
                                      {L"Home Name \u00e9", L"c:\\Oracle Homes\\Db1\\ "},
                                      {L"dirless", L""}};
    EXPECT_EQ(expected, GetOracleHomes());
}

TEST_F(OracleHomesTest, EveryCallReadsTheRegistryAgain) {
    AddHome(L"KEY_A", L"A", L"C:\\a");
    EXPECT_EQ(1u, GetOracleHomes().size());
    AddHome(L"KEY_B", L"B", L"C:\\b");
    EXPECT_EQ(2u, GetOracleHomes().size());
    simoracle::DeleteRegistryKey(kOracleKey + L"\\KEY_A");
    const OracleHomeTable expected = {{L"B", L"C:\\b"}};
    EXPECT_EQ(expected, GetOracleHomes());
}

} // namespace
