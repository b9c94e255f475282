#include "discovery/OracleInstances.h"
#include "tests/discovery/OracleRegistryFixture.h"

#include <list>

namespace {

typedef OracleRegistryTest OracleInstancesTest;

std::list<std::wstring> Sids(const OracleInstanceTable& instances) {
    std::list<std::wstring> sids;
    for (const auto& instance : instances)
        sids.push_back(instance.first);
    return sids;
}

TEST_F(OracleInstancesTest, AnUnregisteredHomeHasNoInstances) {
    AddService(L"OracleServiceORCL", L"C:\\ORA\\DB\\bin\\ORACLE.EXE ORCL");
    EXPECT_TRUE(GetOracleInstances(L"DB").empty());

    AddHome(L"KEY_DB", L"DB", L"C:\\ORA\\DB");
    EXPECT_TRUE(GetOracleInstances(L"db").empty()); // home names match with their case
    EXPECT_TRUE(GetOracleInstances(L"").empty());
    EXPECT_EQ((std::list<std::wstring>{L"ORCL"}), Sids(GetOracleInstances(L"DB")));
}

TEST_F(OracleInstancesTest, TheHomeDirectoryMatchesInAnyLetterCase) {
    AddHome(L"KEY_DB", L"DB", L"C:\\ORA\\DB");
    AddService(L"OracleServiceORCL", L"c:\\ora\\db\\bin\\srv.exe ORCL");
    AddService(L"OracleServiceOTHER", L"D:\\elsewhere\\bin\\srv.exe OTHER");
    const OracleInstanceTable expected = {{L"ORCL", L"c:\\ora\\db\\bin\\srv.exe ORCL"}};
    EXPECT_EQ(expected, GetOracleInstances(L"DB"));
}

TEST_F(OracleInstancesTest, TheSidIsTheTextAfterTheLastSpaceAsStored) {
    AddHome(L"KEY_DB", L"DB", L"C:\\ORA\\DB");
    AddService(L"OracleServiceA", L"\"C:\\ORA\\DB\\bin\\ORACLE.EXE\" -x  mixedCase");
    AddService(L"OracleServiceB", L"C:\\ORA\\DB\\bin\\ORACLE.EXE \"QUOTED\"");
    AddService(L"OracleServiceX", L"C:\\ORA\\DB\\bin\\ORACLE.EXE PROD"); // not from the key name
    AddService(L"OracleServiceC", L"C:\\ORA\\DB\\bin\\ORACLE.EXE A\\B");
    AddService(L"OracleServiceTRAILING", L"C:\\ORA\\DB\\bin\\ORACLE.EXE ");
    const OracleInstanceTable instances = GetOracleInstances(L"DB");
    EXPECT_EQ((std::list<std::wstring>{L"", L"\"QUOTED\"", L"A\\B", L"PROD", L"mixedCase"}),
              Sids(instances));
    EXPECT_EQ(L"C:\\ORA\\DB\\bin\\ORACLE.EXE ", instances.at(L"")); // the empty SID
}

TEST_F(OracleInstancesTest, ACommandLineWithoutASpaceIsNoInstance) {
    AddHome(L"KEY_DB", L"DB", L"C:\\ORA\\DB");
    AddService(L"OracleServiceNOSPACE", L"C:\\ORA\\DB\\bin\\ORACLE.EXE");
    AddService(L"OracleServiceTAB", L"C:\\ORA\\DB\\bin\\ORACLE.EXE\tTAB");
    AddService(L"OracleServiceNOPATH", nullptr);
    EXPECT_TRUE(GetOracleInstances(L"DB").empty());
}

TEST_F(OracleInstancesTest, ASpaceInsideTheHomeDirectoryCanBeTheLastOne) {
    AddHome(L"KEY_DB", L"DB", L"C:\\Program Files\\Ora");
    AddService(L"OracleServiceP", L"C:\\Program Files\\Ora\\bin\\oracle.exe");
    EXPECT_EQ((std::list<std::wstring>{L"Files\\Ora\\bin\\oracle.exe"}),
              Sids(GetOracleInstances(L"DB")));
}

TEST_F(OracleInstancesTest, AHomeAlsoListsTheInstancesOfAHomeInsideItsDirectoryName) {
    AddHome(L"KEY_DB", L"DB", L"C:\\ORA\\DB");
    AddHome(L"KEY_DB2", L"DB2", L"C:\\ORA\\DB2");
    AddService(L"OracleServiceONE", L"C:\\ORA\\DB\\bin\\ORACLE.EXE ONE");
    AddService(L"OracleServiceTWO", L"C:\\ORA\\DB2\\bin\\ORACLE.EXE TWO");
    AddService(L"OracleServiceMID", L"D:\\wrap\\c:\\ora\\db2\\x.exe MID"); // anywhere in the text
    EXPECT_EQ((std::list<std::wstring>{L"MID", L"ONE", L"TWO"}), Sids(GetOracleInstances(L"DB")));
    EXPECT_EQ((std::list<std::wstring>{L"MID", L"TWO"}), Sids(GetOracleInstances(L"DB2")));
}

TEST_F(OracleInstancesTest, AnEmptyHomeDirectoryMatchesEveryServiceWithASpace) {
    AddHome(L"KEY_EMPTY", L"EMPTY", L"");
    AddService(L"OracleServiceA", L"C:\\ORA\\DB\\bin\\ORACLE.EXE A");
    AddService(L"OracleServiceB", L"D:\\x.exe B");
    AddService(L"OracleServiceNOSPACE", L"D:\\x.exe");
    EXPECT_EQ((std::list<std::wstring>{L"A", L"B"}), Sids(GetOracleInstances(L"EMPTY")));
}

TEST_F(OracleInstancesTest, OnlyKeysNamedOracleServiceInThatCaseCount) {
    AddHome(L"KEY_DB", L"DB", L"C:\\ORA\\DB");
    AddService(L"oracleserviceLOWER", L"C:\\ORA\\DB\\bin\\ORACLE.EXE LOWER");
    AddService(L"ORACLESERVICEUPPER", L"C:\\ORA\\DB\\bin\\ORACLE.EXE UPPER");
    AddService(L"XOracleServicePREFIXED", L"C:\\ORA\\DB\\bin\\ORACLE.EXE PREFIXED");
    AddService(L"OracleServic", L"C:\\ORA\\DB\\bin\\ORACLE.EXE SHORT");
    AddService(L"OracleOraDb11g_home1TNSListener", L"C:\\ORA\\DB\\bin\\TNSLSNR.EXE LISTENER");
    EXPECT_TRUE(GetOracleInstances(L"DB").empty());

    AddService(L"OracleService", L"C:\\ORA\\DB\\bin\\ORACLE.EXE BARE");
    EXPECT_EQ((std::list<std::wstring>{L"BARE"}), Sids(GetOracleInstances(L"DB")));
}

TEST_F(OracleInstancesTest, TheFirstServiceEnumeratedKeepsADuplicateSid) {
    AddHome(L"KEY_DB", L"DB", L"C:\\ORA\\DB");
    AddService(L"OracleService1", L"C:\\ORA\\DB\\bin\\first.exe ORCL");
    AddService(L"OracleService2", L"C:\\ORA\\DB\\bin\\second.exe ORCL");
    AddService(L"OracleService3", L"C:\\ORA\\DB\\bin\\third.exe orcl");
    VIRid::system::CRegistry registry(HKEY_LOCAL_MACHINE);
    std::list<std::wstring> order;
    for (const std::wstring& name : registry.EnumSubKeys(kServicesKey.c_str()))
        if (name.compare(0, 13, L"OracleService") == 0)
            order.push_back(name);
    ASSERT_EQ((std::list<std::wstring>{L"OracleService1", L"OracleService2", L"OracleService3"}),
              order);

    const OracleInstanceTable expected = {{L"ORCL", L"C:\\ORA\\DB\\bin\\first.exe ORCL"},
                                          {L"orcl", L"C:\\ORA\\DB\\bin\\third.exe orcl"}};
    EXPECT_EQ(expected, GetOracleInstances(L"DB"));
}

TEST_F(OracleInstancesTest, EveryCallReadsTheRegistryAgain) {
    AddHome(L"KEY_DB", L"DB", L"C:\\ORA\\DB");
    EXPECT_TRUE(GetOracleInstances(L"DB").empty());
    AddService(L"OracleServiceORCL", L"C:\\ORA\\DB\\bin\\ORACLE.EXE ORCL");
    EXPECT_EQ(1u, GetOracleInstances(L"DB").size());
    simoracle::DeleteRegistryKey(kOracleKey + L"\\KEY_DB");
    EXPECT_TRUE(GetOracleInstances(L"DB").empty());
}

} // namespace
