// simoracle.exe: simulated Oracle homes and instances from the command line. The end-to-end checks
// create, wreck and compare databases with it; bad input gets a clear error and changes nothing.
#include "tests/support/ScratchFolder.h"
#include "tests/support/win/ScriptedProcess.h"
#include "tests/support/win/SimulatedOracle.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace {

using testing_support::ScriptedRun;

ScriptedRun SimOracle(const std::wstring& arguments) {
    return testing_support::RunScripted(
        L"\"" + testing_support::ProgramBesideTests(L"simoracle.exe") + L"\" " + arguments, {}, "",
        60000);
}

TEST(SimOracleCommandTest, BadInputGetsAClearErrorAndChangesNothing) {
    const testing_support::ScratchFolder folder;
    const std::wstring other = folder / L"other";
    const struct {
        std::wstring arguments;
        unsigned long exitCode;
        const char* error;
    } cases[] = {
        {L"", 2, "usage:"},
        {L"instance H S --size 0", 2, "--size takes 1 to 65536"},
        {L"wreck NOSUCHSID", 1, "OracleServiceNOSUCHSID"},
        {L"instance NOSUCHHOME X", 1, "is not registered"},
        {L"home \"bad\\name\" \"" + other + L"\"", 1, "invalid home name"},
    };
    for (const auto& c : cases) {
        const ScriptedRun run = SimOracle(c.arguments);
        EXPECT_EQ(c.exitCode, run.exitCode) << testing_support::Narrow(c.arguments);
        EXPECT_NE(std::string::npos, run.errors.find(c.error)) << run.errors;
    }
    EXPECT_FALSE(testing_support::PathExists(other));
}

// Every restore test compares digests: a changed block must change it. A change names the point
// it made, at an SCN past every earlier one, and the digest of the data then; only an open
// database takes one.
TEST(SimOracleCommandTest, TheDigestFollowsTheData) {
    const testing_support::SimulatedOracle oracle(testing_support::SimulatedOracle::SmallDatabase(),
                                                  L"SIMCLI");
    ASSERT_TRUE(oracle.Ready()) << testing_support::Narrow(oracle.Error());
    const ScriptedRun digest = SimOracle(L"digest SIMCLI");
    ASSERT_EQ(0u, digest.exitCode) << digest.errors;
    unsigned long long lastScn = 0;
    for (int change = 0; change < 2; ++change) {
        const ScriptedRun touch = SimOracle(L"touch SIMCLI");
        ASSERT_EQ(0u, touch.exitCode) << touch.errors;
        std::smatch point;
        ASSERT_TRUE(std::regex_match(touch.output, point,
                                     std::regex("SCN ([0-9]+) at [0-9]{4}-[0-9]{2}-[0-9]{2} "
                                                "[0-9]{2}:[0-9]{2}:[0-9]{2}, digest ([0-9a-f]{64})"
                                                "\r?\n")))
            << touch.output;
        EXPECT_GT(std::stoull(point[1].str()), lastScn);
        lastScn = std::stoull(point[1].str());
        const std::string after = SimOracle(L"digest SIMCLI").output;
        EXPECT_EQ(point[2].str() + "\n", after.substr(0, 64) + "\n");
        EXPECT_NE(digest.output, after);
    }
    ASSERT_TRUE(oracle.Wreck(simoracle::WreckScope::DataFiles));
    const ScriptedRun refused = SimOracle(L"touch SIMCLI");
    EXPECT_EQ(1u, refused.exitCode);
    EXPECT_NE(std::string::npos, refused.errors.find("the database SIMCLI is not open"))
        << refused.errors;
}

} // namespace
