// simoracle.exe: simulated Oracle homes and instances from the command line. The end-to-end checks
// create, wreck and compare databases with it; bad input gets a clear error and changes nothing.
#include "tests/support/ScratchFolder.h"
#include "tests/support/win/ScriptedProcess.h"
#include "tests/support/win/SimulatedOracle.h"

#include <gtest/gtest.h>

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

// Every restore test compares digests: a changed block must change it.
TEST(SimOracleCommandTest, TheDigestFollowsTheData) {
    const testing_support::SimulatedOracle oracle(testing_support::SimulatedOracle::SmallDatabase(),
                                                  L"SIMCLI");
    ASSERT_TRUE(oracle.Ready()) << testing_support::Narrow(oracle.Error());
    const ScriptedRun digest = SimOracle(L"digest SIMCLI");
    ASSERT_EQ(0u, digest.exitCode) << digest.errors;
    ASSERT_EQ(0u, SimOracle(L"touch SIMCLI").exitCode);
    EXPECT_NE(digest.output, SimOracle(L"digest SIMCLI").output);
}

} // namespace
