#include "plugin/DatabaseBrowser.h"
#include "tests/discovery/OracleRegistryFixture.h"
#include "tests/support/FakeHost.h"

#include <vector>

namespace {

typedef OracleRegistryTest DatabaseBrowserTest;
typedef std::vector<std::wstring> Names;

// What the host sees of a home, an instance and a refused path. (That a refused path leaves the
// host's record alone, and the host's list keeps its own entries, is the host layer's part.)
const std::wstring kHome = std::to_wstring(0x10);
const std::wstring kInstance = std::to_wstring(0x80);
const std::wstring kUnknown = L"result " + std::to_wstring(UnknownItem);

// The attributes that BrowseItemInfo gives path, or its result when it refuses it.
std::wstring Info(const std::wstring& path) {
    ItemInfo info;
    const int32_t result = BrowseItemInfo(path, info);
    return result == Success ? std::to_wstring(info.attributes)
                             : L"result " + std::to_wstring(result);
}

// The names listed under path; homes (under the root) are folders, instances plain items.
Names List(const std::wstring& path) {
    ItemEntryList items;
    EXPECT_EQ(Success, BrowseItems(path, items));
    Names names;
    for (const ItemEntry& item : items) {
        EXPECT_EQ(path.empty() ? kHome : kInstance, std::to_wstring(item.info.attributes))
            << item.name;
        names.push_back(item.name);
    }
    return names;
}

TEST_F(DatabaseBrowserTest, WithoutHomesTheRootIsEmptyAndNothingIsAnItem) {
    AddService(L"OracleServiceORCL", L"C:\\ORA\\DB\\bin\\ORACLE.EXE ORCL");
    EXPECT_TRUE(List(L"").empty());
    for (const wchar_t* path : {L"", L"DB", L"DB\\ORCL", L"\\ORCL"})
        EXPECT_EQ(kUnknown, Info(path)) << path;
}

// One tree for both calls: a home with a name to escape, one with an empty name, SIDs with a
// backslash or empty.
TEST_F(DatabaseBrowserTest, TheTreeListsAndDescribesHomesAndInstancesOnly) {
    AddHome(L"KEY_2", L"A\\B", L"C:\\ORA\\DB");
    AddHome(L"KEY_3", L"A0", L"C:\\a0");
    AddHome(L"KEY_HOME", L"HOME", L"C:\\ORA\\HOME");
    AddHome(L"KEY_EMPTY", L"", L"C:\\ORA\\NAMELESS");
    AddService(L"OracleServiceORCL", L"C:\\ORA\\DB\\bin\\ORACLE.EXE ORCL");
    AddService(L"OracleServiceSLASH", L"C:\\ORA\\DB\\bin\\ORACLE.EXE A\\B");
    AddService(L"OracleServiceHOME", L"C:\\ORA\\HOME\\bin\\ORACLE.EXE ORCL");
    AddService(L"OracleServiceX", L"C:\\ORA\\HOME\\bin\\ORACLE.EXE SID\\X");
    AddService(L"OracleServiceEMPTY", L"C:\\ORA\\HOME\\bin\\ORACLE.EXE ");
    // In the order of the names: sorted by the escaped ones, "A%5CB" would come before "A0".
    EXPECT_EQ((Names{L"", L"A0", L"A%5CB", L"HOME"}), List(L""));
    EXPECT_EQ((Names{L"A%5CB", L"ORCL"}), List(L"A%5CB"));
    EXPECT_EQ((Names{L"", L"ORCL", L"SID%5CX"}), List(L"HOME"));
    // Paths that name no home list nothing.
    for (const wchar_t* path : {L"A%5CB\\ORCL", L"a0"})
        EXPECT_TRUE(List(path).empty()) << path;

    for (const wchar_t* path : {L"HOME", L"A%5CB", L""})
        EXPECT_EQ(kHome, Info(path)) << path;
    // Everything after the first backslash is the SID, escaped or not.
    for (const wchar_t* path :
         {L"HOME\\ORCL", L"A%5CB\\ORCL", L"HOME\\SID%5CX", L"HOME\\SID\\X", L"HOME\\"})
        EXPECT_EQ(kInstance, Info(path)) << path;
    // A\B names home A with SID B; the empty SID is registered under HOME, not under A\B.
    for (const wchar_t* path : {L"A\\B", L"A%5CB\\", L"HOME\\SID", L"home", L"HOME\\orcl",
                                L"home\\ORCL", L"HOME\\ORCL\\Y", L"\\ORCL", L"HOME%5CORCL"})
        EXPECT_EQ(kUnknown, Info(path)) << path;
}

} // namespace
