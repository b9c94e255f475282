#include "discovery/OracleInstances.h"
#include "tests/discovery/OracleRegistryFixture.h"

#include <vector>

namespace {

typedef OracleRegistryTest OracleInstancesTest;

struct Service {
    const wchar_t* name;
    const wchar_t* imagePath; // null: no ImagePath value
};

// Each case starts from the same homes and no service; as they run one after another, a table
// kept from an earlier call fails them.
TEST_F(OracleInstancesTest, TheServicesOfTheHomeWithTheSidAfterTheLastSpace) {
    const struct {
        std::vector<Service> services;
        const wchar_t* home;
        OracleInstanceTable expected;
    } cases[] = {
        // The SID is the text after the last space, as stored.
        {{{L"OracleServiceA", L"\"C:\\ORA\\DB\\bin\\ORACLE.EXE\" -x  mixedCase"},
          {L"OracleServiceB", L"C:\\ORA\\DB\\bin\\ORACLE.EXE \"QUOTED\""}},
         L"DB",
         {{L"\"QUOTED\"", L"C:\\ORA\\DB\\bin\\ORACLE.EXE \"QUOTED\""},
          {L"mixedCase", L"\"C:\\ORA\\DB\\bin\\ORACLE.EXE\" -x  mixedCase"}}},
        // A command line without a space is no instance.
        {{{L"OracleServiceTAB", L"C:\\ORA\\DB\\bin\\ORACLE.EXE\tTAB"},
          {L"OracleServiceNOPATH", nullptr}},
         L"DB",
         {}},
        // The directory may be anywhere in the text: a home also lists those of a home whose
        // directory's name begins with its own.
        {{{L"OracleServiceONE", L"C:\\ORA\\DB\\bin\\ORACLE.EXE ONE"},
          {L"OracleServiceTWO", L"C:\\ORA\\DB2\\bin\\ORACLE.EXE TWO"},
          {L"OracleServiceMID", L"D:\\wrap\\c:\\ora\\db2\\x.exe MID"}},
         L"DB",
         {{L"MID", L"D:\\wrap\\c:\\ora\\db2\\x.exe MID"},
          {L"ONE", L"C:\\ORA\\DB\\bin\\ORACLE.EXE ONE"},
          {L"TWO", L"C:\\ORA\\DB2\\bin\\ORACLE.EXE TWO"}}},
        // An empty home directory matches every service with a space.
        {{{L"OracleServiceA", L"C:\\ORA\\DB\\bin\\ORACLE.EXE A"},
          {L"OracleServiceB", L"D:\\x.exe B"}},
         L"EMPTY",
         {{L"A", L"C:\\ORA\\DB\\bin\\ORACLE.EXE A"}, {L"B", L"D:\\x.exe B"}}},
        // Only keys whose names begin with "OracleService" in that case count.
        {{{L"oracleserviceLOWER", L"C:\\ORA\\DB\\bin\\ORACLE.EXE LOWER"},
          {L"XOracleServicePREFIXED", L"C:\\ORA\\DB\\bin\\ORACLE.EXE PREFIXED"},
          {L"OracleServic", L"C:\\ORA\\DB\\bin\\ORACLE.EXE SHORT"},
          {L"OracleService", L"C:\\ORA\\DB\\bin\\ORACLE.EXE BARE"}},
         L"DB",
         {{L"BARE", L"C:\\ORA\\DB\\bin\\ORACLE.EXE BARE"}}},
        // The service enumerated first keeps a SID met twice; SIDs differing in case are two.
        {{{L"OracleService1", L"C:\\ORA\\DB\\bin\\first.exe ORCL"},
          {L"OracleService2", L"C:\\ORA\\DB\\bin\\second.exe ORCL"},
          {L"OracleService3", L"C:\\ORA\\DB\\bin\\third.exe orcl"}},
         L"DB",
         {{L"ORCL", L"C:\\ORA\\DB\\bin\\first.exe ORCL"},
          {L"orcl", L"C:\\ORA\\DB\\bin\\third.exe orcl"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        Reset();
        AddHome(L"KEY_DB", L"DB", L"C:\\ORA\\DB");
        AddHome(L"KEY_DB2", L"DB2", L"C:\\ORA\\DB2");
        AddHome(L"KEY_EMPTY", L"EMPTY", L"");
        for (const Service& service : c.services)
            AddService(service.name, service.imagePath);
        EXPECT_EQ(c.expected, GetOracleInstances(c.home));
    }
}

} // namespace
