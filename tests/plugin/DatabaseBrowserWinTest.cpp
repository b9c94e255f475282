#include "plugin/DatabaseBrowser.h"
#include "tests/discovery/OracleRegistryFixture.h"
#include "tests/support/FakeHost.h"
#include "tools/pluginhost/PluginLibrary.h"

#include <vector>

namespace {

typedef OracleRegistryTest DatabaseBrowserTest;
typedef std::vector<std::wstring> Names;

// Every field of a record, so that whole records compare.
std::wstring Fields(const ItemInfo& info) {
    return std::to_wstring(info.value1) + L"," + std::to_wstring(info.value2) + L"," +
           std::to_wstring(info.value3) + L"," + std::to_wstring(info.value4) + L"," +
           std::to_wstring(info.attributes) + L"," + std::to_wstring(info.validFields) + L"," +
           info.infoText;
}

const std::wstring kHome = Fields(ItemInfo(0, 0, 0, 0, 0x10, 0));
const std::wstring kInstance = Fields(ItemInfo(0, 0, 0, 0, 0x80, 0));

// BrowseItemInfo's record, or "unknown" when it refuses the path and leaves the record alone.
std::wstring Info(const std::wstring& path) {
    ItemInfo marked(1, 2, 3, 4, 0x20, 0xF);
    marked.infoText = L"marked";
    ItemInfo info = marked;
    const int32_t result = BrowseItemInfo(path, info);
    if (result == UnknownItem && Fields(info) == Fields(marked))
        return L"unknown";
    return result == Success ? Fields(info) : L"result " + std::to_wstring(result);
}

Names NamesOf(const ItemEntryList& items) {
    Names names;
    for (const ItemEntry& item : items)
        names.push_back(item.name);
    return names;
}

// The names listed under path; homes (under the root) and instances carry blank records.
Names List(const std::wstring& path) {
    ItemEntryList items;
    EXPECT_EQ(Success, BrowseItems(path, items));
    for (const ItemEntry& item : items) {
        EXPECT_EQ(path.empty() ? kHome : kInstance, Fields(item.info)) << item.name;
        EXPECT_EQ(L"", item.entryText);
    }
    return NamesOf(items);
}

TEST_F(DatabaseBrowserTest, WithoutHomesTheRootIsEmptyAndNothingIsAnItem) {
    AddService(L"OracleServiceORCL", L"C:\\ORA\\DB\\bin\\ORACLE.EXE ORCL");
    EXPECT_TRUE(List(L"").empty());
    for (const wchar_t* path : {L"", L"DB", L"DB\\ORCL", L"\\ORCL"})
        EXPECT_EQ(L"unknown", Info(path)) << path;
}

TEST_F(DatabaseBrowserTest, LevelsListEscapedNamesInTheOrderOfTheirNames) {
    // Sorted by the escaped names, "A%5CB" would come before "A0".
    AddHome(L"KEY_1", L"b", L"C:\\b");
    AddHome(L"KEY_2", L"A\\B", L"C:\\ORA\\DB");
    AddHome(L"KEY_3", L"A0", L"C:\\a0");
    AddHome(L"KEY_4", L"50%", L"C:\\fifty");
    AddHome(L"KEY_5", L"x:y", L"D:\\OTHER");
    AddService(L"OracleServiceORCL", L"C:\\ORA\\DB\\bin\\ORACLE.EXE ORCL");
    AddService(L"OracleServiceTEST", L"c:\\ora\\db\\bin\\oracle.exe TEST");
    AddService(L"OracleServiceSLASH", L"C:\\ORA\\DB\\bin\\ORACLE.EXE A\\B");
    AddService(L"OracleServiceELSE", L"D:\\OTHER\\bin\\ORACLE.EXE ELSE");
    EXPECT_EQ((Names{L"50%25", L"A0", L"A%5CB", L"b", L"x%3Ay"}), List(L""));
    EXPECT_EQ((Names{L"A%5CB", L"ORCL", L"TEST"}), List(L"A%5CB"));
    EXPECT_EQ((Names{L"ELSE"}), List(L"x%3Ay"));
    // Paths that name no home list nothing.
    for (const wchar_t* path : {L"A%5CB\\ORCL", L"a0", L"NOHOME", L"A0\\"})
        EXPECT_TRUE(List(path).empty()) << path;
}

TEST_F(DatabaseBrowserTest, ItemInfoAnswersForHomesAndInstancesOnly) {
    AddHome(L"KEY_HOME", L"HOME", L"C:\\ORA\\HOME");
    AddHome(L"KEY_AB", L"A\\B", L"C:\\ORA\\AB");
    AddService(L"OracleServiceORCL", L"C:\\ORA\\HOME\\bin\\ORACLE.EXE ORCL");
    AddService(L"OracleServiceAB", L"C:\\ORA\\AB\\bin\\ORACLE.EXE ORCL");
    // Everything after the first backslash is the SID, escaped or not.
    AddService(L"OracleServiceX", L"C:\\ORA\\HOME\\bin\\ORACLE.EXE SID\\X");
    AddService(L"OracleServiceEMPTY", L"C:\\ORA\\HOME\\bin\\ORACLE.EXE ");
    for (const wchar_t* path : {L"HOME", L"A%5CB"})
        EXPECT_EQ(kHome, Info(path)) << path;
    // The empty SID is registered under HOME, not under A\B.
    for (const wchar_t* path :
         {L"HOME\\ORCL", L"A%5CB\\ORCL", L"HOME\\SID%5CX", L"HOME\\SID\\X", L"HOME\\"})
        EXPECT_EQ(kInstance, Info(path)) << path;
    // A\B names home A with SID B.
    for (const wchar_t* path : {L"A\\B", L"A\\B\\ORCL", L"A%5CB\\", L"HOME\\SID", L"", L"home",
                                L"HOME\\orcl", L"home\\ORCL", L"HOME\\ORCL\\Y", L"HOME\\NOSID",
                                L"NOHOME\\ORCL", L"\\ORCL", L"HOME%5CORCL"})
        EXPECT_EQ(L"unknown", Info(path)) << path;
}

TEST_F(DatabaseBrowserTest, AHomeWithAnEmptyNameMakesTheRootAnItem) {
    AddHome(L"KEY_EMPTY", L"", L"C:\\ORA\\NAMELESS");
    EXPECT_EQ(kHome, Info(L""));
    EXPECT_EQ((Names{L""}), List(L""));
}

TEST_F(DatabaseBrowserTest, ListingOnlyAppends) {
    AddHome(L"KEY_DB", L"DB", L"C:\\ORA\\DB");
    AddService(L"OracleServiceORCL", L"C:\\ORA\\DB\\bin\\ORACLE.EXE ORCL");
    ItemEntryList items;
    items.push_back(ItemEntry(ItemInfo(9, 9, 9, 9, 0x80, 0x1), L"host's own"));
    for (const wchar_t* path : {L"", L"", L"DB", L"NOHOME"})
        EXPECT_EQ(Success, BrowseItems(path, items));
    EXPECT_EQ((Names{L"host's own", L"DB", L"DB", L"ORCL"}), NamesOf(items));
    EXPECT_EQ(9, items.front().info.value1);
}

// The plug-in object's browse slots, reached through the real library as a host reaches them.
TEST_F(DatabaseBrowserTest, ThePluginObjectBrowsesTheSameTree) {
    AddHome(L"KEY_AB", L"A\\B", L"C:\\ORA\\AB");
    AddService(L"OracleServiceORCL", L"C:\\ORA\\AB\\bin\\ORACLE.EXE ORCL");
    PluginLibrary library;
    std::wstring error;
    ASSERT_TRUE(library.Load(ProgramFolder() + L"OraclePlugin.dll", error));
    MapSettings settings;
    RecordingLogger logger;
    PluginDataObject* source = library.GetBackupDataRead(&logger, &settings);
    ASSERT_NE(nullptr, source);

    ItemEntryList items;
    EXPECT_EQ(Success, source->EnumItems(L"", items));
    EXPECT_EQ(Success, source->EnumItems(L"A%5CB", items));
    EXPECT_EQ((Names{L"A%5CB", L"ORCL"}), NamesOf(items));
    ItemInfo info;
    EXPECT_EQ(Success, source->GetItemInfo(L"A%5CB", info));
    EXPECT_EQ(0x10u, info.attributes);
    EXPECT_EQ(Success, source->GetItemInfo(L"A%5CB\\ORCL", info));
    EXPECT_EQ(0x80u, info.attributes);
    EXPECT_EQ(UnknownItem, source->GetItemInfo(L"", info));
    source->Release();
    EXPECT_TRUE(logger.Messages().empty());
}

} // namespace
