// simoracle.exe: simulated Oracle homes and instances from the command line.
#include "tests/support/ScratchFolder.h"
#include "tests/support/win/ScriptedProcess.h"
#include "tests/support/win/SimulatedOracle.h"
#include "tools/simdb/Faults.h"
#include "tools/simdb/FileIo.h"
#include "tools/simdb/Layout.h"
#include "tools/simdb/PasswordFile.h"
#include "tools/simdb/Registry.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using testing_support::PathExists;
using testing_support::ScriptedRun;

const wchar_t kServices[] = L"SYSTEM\\CurrentControlSet\\Services\\OracleService";

ScriptedRun SimOracle(const std::wstring& arguments) {
    return testing_support::RunScripted(
        L"\"" + testing_support::ProgramBesideTests(L"simoracle.exe") + L"\" " + arguments, {}, "",
        60000);
}

class SimOracleCommandTest : public ::testing::Test {
protected:
    SimOracleCommandTest()
        : name_(L"SIMCLI" + std::to_wstring(GetCurrentProcessId())), home_(folder_ / L"home") {}
    ~SimOracleCommandTest() override { SimOracle(L"remove-home " + name_); }
    void SetUp() override {
        ASSERT_EQ(0u, SimOracle(L"home " + name_ + L" \"" + home_ + L"\"").exitCode);
    }
    std::string Output(const std::wstring& arguments) { return SimOracle(arguments).output; }

    testing_support::ScratchFolder folder_;
    std::wstring name_;
    std::wstring home_;
};

// The registration itself is read back by discovery in every job test on a simulated home.
TEST_F(SimOracleCommandTest, CreatesAHomeAndAnInstanceAndRemovesThemWithTheirRegistration) {
    // Bad input gets a clear error and changes nothing.
    const struct {
        std::wstring arguments;
        unsigned long exitCode;
        const char* error;
    } cases[] = {
        {L"", 2, "usage:"},
        {L"instance", 2, "usage:"},
        {L"instance H S --size 0", 2, "--size takes 1 to 65536"},
        {L"instance H S --bogus", 2, "usage:"},
        {L"wreck NOSUCHSID --everything", 1, "OracleServiceNOSUCHSID"},
        {L"instance NOSUCHHOME" + name_ + L" X", 1, "is not registered"},
        {L"home \"bad\\name\" \"" + folder_ / L"other" + L"\"", 1, "invalid home name"},
    };
    for (const auto& c : cases) {
        const ScriptedRun run = SimOracle(c.arguments);
        EXPECT_EQ(c.exitCode, run.exitCode) << testing_support::Narrow(c.arguments);
        EXPECT_NE(std::string::npos, run.errors.find(c.error)) << run.errors;
    }
    EXPECT_FALSE(PathExists(folder_ / L"other"));
    const ScriptedRun instance = SimOracle(L"instance " + name_ +
                                           L" CLI1 --user scott --password tiger --noarchivelog "
                                           L"--size 2");
    ASSERT_EQ(0u, instance.exitCode) << instance.errors;
    const simoracle::DatabaseFiles files(home_, L"CLI1");
    EXPECT_TRUE(simoracle::CheckPassword(files, L"SCOTT", L"tiger"));
    EXPECT_FALSE(simoracle::CheckPassword(files, L"scott", L"TIGER"));
    std::string bytes;
    unsigned long long total = 0;
    for (const simoracle::DataFileSpec& dataFile : simoracle::DataFileSpecs())
        total += simoracle::ReadFileBytes(files.DataFile(dataFile), bytes) ? bytes.size() : 0;
    EXPECT_GT(total, 2u * 1000 * 1000);
    EXPECT_LT(total, 2u * 1024 * 1024 + 8 * 1024);

    // The home is removed with its services.
    std::wstring value;
    ASSERT_EQ(0u, SimOracle(L"remove-home " + name_).exitCode);
    EXPECT_FALSE(PathExists(home_));
    EXPECT_FALSE(
        simoracle::ReadRegistryString(std::wstring(kServices) + L"CLI1", L"ImagePath", value));
}

TEST_F(SimOracleCommandTest, FaultsAreStoredAndWreckAllAndBareLeaveOnlyThePasswordFile) {
    ASSERT_EQ(0u, SimOracle(L"instance " + name_ + L" CLI2 --size 1").exitCode);
    const simoracle::DatabaseFiles files(home_, L"CLI2");
    for (const wchar_t* fault :
         {L"fail \"Backup *\" --text \"ORA-19502: write error\" --text \"ORA-27072: File I/O\"",
          L"stderr \"show all\"", L"trickle on"})
        EXPECT_EQ(0u, SimOracle(L"fault CLI2 " + std::wstring(fault)).exitCode);
    const simoracle::FaultSet faults = simoracle::LoadFaults(files);
    ASSERT_EQ(2u, faults.commandFaults.size());
    EXPECT_EQ(L"backup *", faults.commandFaults[0].pattern);
    EXPECT_EQ(std::vector<std::wstring>({L"ORA-19502: write error", L"ORA-27072: File I/O"}),
              faults.commandFaults[0].text);
    EXPECT_TRUE(faults.commandFaults[1].kind == simoracle::FaultKind::Stderr && faults.trickle);
    EXPECT_EQ(0u, SimOracle(L"fault CLI2 clear").exitCode);
    EXPECT_TRUE(simoracle::LoadFaults(files).commandFaults.empty());
    for (const wchar_t* wrong : {L"explode backup", L"trickle maybe", L"die backup --text x",
                                 L"fail backup --text", L"fail backup --words x"})
        EXPECT_EQ(2u, SimOracle(L"fault CLI2 " + std::wstring(wrong)).exitCode)
            << testing_support::Narrow(wrong);
    const std::string digest = Output(L"digest CLI2");
    ASSERT_EQ(0u, SimOracle(L"touch CLI2").exitCode);
    EXPECT_NE(digest, Output(L"digest CLI2"));
    ASSERT_EQ(0u, SimOracle(L"wreck CLI2 --controlfile").exitCode);
    EXPECT_FALSE(PathExists(files.ControlFile()));
    EXPECT_TRUE(PathExists(files.SpFile()));
    ASSERT_EQ(0u, SimOracle(L"wreck CLI2 --all").exitCode);
    ASSERT_EQ(0u, SimOracle(L"instance " + name_ + L" CLI3 --bare").exitCode);
    for (const wchar_t* sid : {L"CLI2", L"CLI3"}) {
        const simoracle::DatabaseFiles lost(home_, sid);
        for (const std::wstring& path :
             {lost.SpFile(), lost.ControlFile(), lost.RedoLog(),
              lost.DataFile(simoracle::DataFileSpecs().front()), lost.ArchivedLog(1, 1)})
            EXPECT_FALSE(PathExists(path)) << testing_support::Narrow(path);
        EXPECT_TRUE(simoracle::CheckPassword(lost, L"system", L"manager"));
        EXPECT_EQ("down\r\n", Output(L"state " + std::wstring(sid)));
        const ScriptedRun wrecked = SimOracle(L"digest " + std::wstring(sid));
        EXPECT_EQ(1u, wrecked.exitCode);
        EXPECT_NE(std::string::npos, wrecked.errors.find("missing or damaged"));
    }
}

} // namespace
