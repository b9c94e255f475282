// simoracle.exe: simulated Oracle homes and instances from the command line.
#include "tests/support/win/ScriptedProcess.h"
#include "tests/support/win/SimulatedOracle.h"
#include "tests/support/win/TestFolder.h"
#include "tools/simdb/Layout.h"
#include "tools/simdb/PasswordFile.h"
#include "tools/simdb/Registry.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using testing_support::Narrow;
using testing_support::ScriptedRun;

ScriptedRun SimOracle(const std::wstring& arguments) {
    return testing_support::RunScripted(
        L"\"" + testing_support::ProgramBesideTests(L"simoracle.exe") + L"\" " + arguments, {}, "",
        60000);
}

unsigned long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

class SimOracleCommandTest : public ::testing::Test {
protected:
    SimOracleCommandTest()
        : name_(L"SIMCLI" + std::to_wstring(GetCurrentProcessId())), home_(folder_ / L"home") {}
    ~SimOracleCommandTest() override { SimOracle(L"remove-home " + name_); }

    testing_support::TestFolder folder_;
    std::wstring name_;
    std::wstring home_;
};

TEST_F(SimOracleCommandTest, CreatesAHomeAndAnInstanceRegisteredAsOracleRegistersThem) {
    ASSERT_EQ(0u, SimOracle(L"home " + name_ + L" \"" + home_ + L"\"").exitCode);
    for (const wchar_t* file : {L"\\bin\\rman.exe", L"\\network\\ADMIN\\tnsnames.ora",
                                L"\\network\\ADMIN\\listener.ora", L"\\network\\ADMIN\\sqlnet.ora"})
        EXPECT_TRUE(testing_support::PathExists(home_ + file)) << Narrow(file);
    std::wstring value;
    ASSERT_TRUE(simoracle::ReadRegistryString(L"SOFTWARE\\ORACLE\\KEY_" + name_,
                                              L"ORACLE_HOME_NAME", value));
    EXPECT_EQ(name_, value);
    ASSERT_TRUE(
        simoracle::ReadRegistryString(L"SOFTWARE\\ORACLE\\KEY_" + name_, L"ORACLE_HOME", value));
    EXPECT_EQ(home_, value);

    const ScriptedRun instance = SimOracle(L"instance " + name_ +
                                           L" CLI1 --user scott "
                                           L"--password tiger --noarchivelog --size 2");
    ASSERT_EQ(0u, instance.exitCode) << instance.errors;
    ASSERT_TRUE(simoracle::ReadRegistryString(
        L"SYSTEM\\CurrentControlSet\\Services\\OracleServiceCLI1", L"ImagePath", value));
    EXPECT_EQ(home_ + L"\\bin\\ORACLE.EXE CLI1", value);
    const simoracle::DatabaseFiles files(home_, L"CLI1");
    EXPECT_TRUE(testing_support::PathExists(home_ + L"\\database\\PWDCLI1.ora"));
    EXPECT_TRUE(simoracle::CheckPassword(files, L"SCOTT", L"tiger"));
    EXPECT_FALSE(simoracle::CheckPassword(files, L"scott", L"TIGER"));
    unsigned long long total = 0;
    for (const simoracle::DataFileSpec& dataFile : simoracle::DataFileSpecs())
        total += FileSize(files.DataFile(dataFile));
    EXPECT_GT(total, 2u * 1000 * 1000);
    EXPECT_LT(total, 2u * 1024 * 1024 + 8 * 1024);
    EXPECT_EQ("open\r\n", SimOracle(L"state CLI1").output.substr(0, 4) + "\r\n");

    // The home is removed with its services.
    ASSERT_EQ(0u, SimOracle(L"remove-home " + name_).exitCode);
    EXPECT_FALSE(testing_support::PathExists(home_));
    EXPECT_FALSE(simoracle::ReadRegistryString(
        L"SYSTEM\\CurrentControlSet\\Services\\OracleServiceCLI1", L"ImagePath", value));
    EXPECT_FALSE(
        simoracle::ReadRegistryString(L"SOFTWARE\\ORACLE\\KEY_" + name_, L"ORACLE_HOME", value));
}

TEST_F(SimOracleCommandTest, DigestWreckTouchAndStateWorkThroughTheServiceKey) {
    ASSERT_EQ(0u, SimOracle(L"home " + name_ + L" \"" + home_ + L"\"").exitCode);
    ASSERT_EQ(0u, SimOracle(L"instance " + name_ + L" CLI2 --size 1").exitCode);
    const ScriptedRun digest = SimOracle(L"digest CLI2");
    ASSERT_EQ(0u, digest.exitCode);
    ASSERT_EQ(66u, digest.output.size()); // 64 hexadecimal digits, CR LF
    EXPECT_EQ(digest.output, SimOracle(L"digest CLI2").output);
    ASSERT_EQ(0u, SimOracle(L"touch CLI2").exitCode);
    EXPECT_NE(digest.output, SimOracle(L"digest CLI2").output);
    ASSERT_EQ(0u, SimOracle(L"wreck CLI2 --controlfile").exitCode);
    EXPECT_EQ(0u, SimOracle(L"state CLI2").output.find("down"));
    const ScriptedRun wrecked = SimOracle(L"digest CLI2");
    EXPECT_EQ(1u, wrecked.exitCode);
    EXPECT_NE(std::string::npos, wrecked.errors.find("missing or damaged"));
    EXPECT_FALSE(testing_support::PathExists(home_ + L"\\oradata\\CLI2\\CONTROL01.CTL"));
}

TEST_F(SimOracleCommandTest, FaultsAreStoredWithTheDatabase) {
    ASSERT_EQ(0u, SimOracle(L"home " + name_ + L" \"" + home_ + L"\"").exitCode);
    ASSERT_EQ(0u, SimOracle(L"instance " + name_ + L" CLI3 --size 1").exitCode);
    EXPECT_EQ(0u, SimOracle(L"fault CLI3 fail \"Backup *\"").exitCode);
    EXPECT_EQ(0u, SimOracle(L"fault CLI3 trickle on").exitCode);
    const std::string stored =
        testing_support::ReadFileBytes(home_ + L"\\oradata\\CLI3\\faults.txt");
    EXPECT_NE(std::string::npos, stored.find("fault=fail|backup *"));
    EXPECT_NE(std::string::npos, stored.find("trickle=1"));
    EXPECT_EQ(0u, SimOracle(L"fault CLI3 clear").exitCode);
    EXPECT_EQ(
        std::string::npos,
        testing_support::ReadFileBytes(home_ + L"\\oradata\\CLI3\\faults.txt").find("fault="));
    EXPECT_EQ(2u, SimOracle(L"fault CLI3 explode backup").exitCode);
    EXPECT_EQ(2u, SimOracle(L"fault CLI3 trickle maybe").exitCode);
}

TEST_F(SimOracleCommandTest, BadInputGetsAClearErrorAndChangesNothing) {
    ScriptedRun run = SimOracle(L"");
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_NE(std::string::npos, run.errors.find("usage:"));
    EXPECT_EQ(2u, SimOracle(L"instance").exitCode);
    EXPECT_EQ(2u, SimOracle(L"instance H S --size 0").exitCode);
    EXPECT_EQ(2u, SimOracle(L"instance H S --bogus").exitCode);
    run = SimOracle(L"digest NOSUCHSID");
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_NE(std::string::npos, run.errors.find("OracleServiceNOSUCHSID"));
    run = SimOracle(L"instance NOSUCHHOME" + name_ + L" X");
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_NE(std::string::npos, run.errors.find("is not registered"));
    run = SimOracle(L"home \"bad\\name\" \"" + home_ + L"\"");
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_FALSE(testing_support::PathExists(home_));
}

} // namespace
