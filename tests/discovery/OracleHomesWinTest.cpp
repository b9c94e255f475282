#include "discovery/OracleHomes.h"
#include "tests/discovery/OracleRegistryFixture.h"

#include <vector>

namespace {

typedef OracleRegistryTest OracleHomesTest;

struct Home {
    const wchar_t* subkey;
    const wchar_t* name;      // null: no ORACLE_HOME_NAME value
    const wchar_t* directory; // null: no ORACLE_HOME value
};

// Each case starts from no registration at all; as they run one after another, a table kept from
// an earlier call fails them.
TEST_F(OracleHomesTest, TheKeySubkeysWithBothValuesAreTheHomesByTheirNames) {
    const struct {
        std::vector<Home> homes;
        OracleHomeTable expected;
    } cases[] = {
        // Only subkeys whose names begin with upper-case "KEY_" count.
        {{{L"key_lower", L"lower", L"C:\\lower"},
          {L"XKEY_A", L"prefixed", L"C:\\prefixed"},
          {L"KEY_", L"bare", L"C:\\bare"}},
         {{L"bare", L"C:\\bare"}}},
        {{{L"KEY_NAME_ONLY", L"nameOnly", nullptr},
          {L"KEY_DIR_ONLY", nullptr, L"C:\\dirOnly"},
          {L"KEY_BOTH", L"both", L"C:\\both"}},
         {{L"both", L"C:\\both"}}},
        // The subkey enumerated first keeps a name registered twice.
        {{{L"KEY_1", L"shared", L"C:\\first"}, {L"KEY_2", L"shared", L"C:\\second"}},
         {{L"shared", L"C:\\first"}}},
        // Names that differ in case are two homes; names and directories are taken as registered.
        {{{L"KEY_1", L"home", L"C:\\lower"},
          {L"KEY_2", L"HOME", L"C:\\upper"},
          {L"KEY_A", L"Home Name \u00e9", L"c:\\Oracle Homes\\Db1\\ "},
          {L"KEY_EMPTY_DIR", L"dirless", L""}},
         {{L"HOME", L"C:\\upper"},
          {L"Home Name \u00e9", L"c:\\Oracle Homes\\Db1\\ "},
          {L"dirless", L""},
          {L"home", L"C:\\lower"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        Reset();
        for (const Home& home : c.homes)
            AddHome(home.subkey, home.name, home.directory);
        EXPECT_EQ(c.expected, GetOracleHomes());
    }
}

} // namespace
