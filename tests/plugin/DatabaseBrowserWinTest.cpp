#include "plugin/DatabaseBrowser.h"
#include "tests/discovery/OracleRegistryFixture.h"
#include "tests/support/FakeHost.h"
#include "tools/pluginhost/PluginLibrary.h"

#include <vector>

namespace {

typedef OracleRegistryTest DatabaseBrowserTest;

std::vector<std::wstring> Names(const ItemEntryList& items) {
    std::vector<std::wstring> names;
    for (const ItemEntry& item : items)
        names.push_back(item.name);
    return names;
}

// A record that BrowseItemInfo must either overwrite completely or leave alone.
ItemInfo MarkedInfo() {
    ItemInfo info(1, 2, 3, 4, 0x20, 0xF);
    info.infoText = L"marked";
    return info;
}

void ExpectUntouched(const ItemInfo& info) {
    EXPECT_EQ(1, info.value1);
    EXPECT_EQ(2, info.value2);
    EXPECT_EQ(3, info.value3);
    EXPECT_EQ(4, info.value4);
    EXPECT_EQ(0x20u, info.attributes);
    EXPECT_EQ(0xFu, info.validFields);
    EXPECT_EQ(L"marked", info.infoText);
}

void ExpectBlankInfo(const ItemInfo& info, uint32_t attributes) {
    EXPECT_EQ(0, info.value1);
    EXPECT_EQ(0, info.value2);
    EXPECT_EQ(0, info.value3);
    EXPECT_EQ(0, info.value4);
    EXPECT_EQ(attributes, info.attributes);
    EXPECT_EQ(0u, info.validFields);
    EXPECT_EQ(L"", info.infoText);
}

int32_t InfoOf(const std::wstring& itemPath, uint32_t& attributes) {
    ItemInfo info = MarkedInfo();
    const int32_t result = BrowseItemInfo(itemPath, info);
    attributes = info.attributes;
    return result;
}

TEST_F(DatabaseBrowserTest, WithoutHomesTheRootIsEmptyAndNothingIsAnItem) {
    AddService(L"OracleServiceORCL", L"C:\\ORA\\DB\\bin\\ORACLE.EXE ORCL");
    ItemEntryList items;
    EXPECT_EQ(Success, BrowseItems(L"", items));
    EXPECT_TRUE(items.empty());
    for (const wchar_t* path : {L"", L"DB", L"DB\\ORCL", L"\\ORCL"}) {
        ItemInfo info = MarkedInfo();
        EXPECT_EQ(UnknownItem, BrowseItemInfo(path, info));
        ExpectUntouched(info);
    }
}

TEST_F(DatabaseBrowserTest, TheRootListsEscapedHomesInTheOrderOfTheirNames) {
    // Sorted by the escaped names, "A%5CB" would come before "A0".
    AddHome(L"KEY_1", L"b", L"C:\\b");
    AddHome(L"KEY_2", L"A\\B", L"C:\\ab");
    AddHome(L"KEY_3", L"A0", L"C:\\a0");
    AddHome(L"KEY_4", L"50%", L"C:\\fifty");
    AddHome(L"KEY_5", L"x:y", L"C:\\xy");
    ItemEntryList items;
    EXPECT_EQ(Success, BrowseItems(L"", items));
    EXPECT_EQ((std::vector<std::wstring>{L"50%25", L"A0", L"A%5CB", L"b", L"x%3Ay"}), Names(items));
    for (const ItemEntry& item : items) {
        ExpectBlankInfo(item.info, 0x10);
        EXPECT_EQ(L"", item.entryText);
    }
}

TEST_F(DatabaseBrowserTest, AHomeListsItsInstancesEscaped) {
    AddHome(L"KEY_DB", L"DB", L"C:\\ORA\\DB");
    AddHome(L"KEY_OTHER", L"OTHER", L"D:\\OTHER");
    AddService(L"OracleServiceORCL", L"C:\\ORA\\DB\\bin\\ORACLE.EXE ORCL");
    AddService(L"OracleServiceTEST", L"c:\\ora\\db\\bin\\oracle.exe TEST");
    AddService(L"OracleServiceSLASH", L"C:\\ORA\\DB\\bin\\ORACLE.EXE A\\B");
    AddService(L"OracleServiceELSE", L"D:\\OTHER\\bin\\ORACLE.EXE ELSE");
    ItemEntryList items;
    EXPECT_EQ(Success, BrowseItems(L"DB", items));
    EXPECT_EQ((std::vector<std::wstring>{L"A%5CB", L"ORCL", L"TEST"}), Names(items));
    for (const ItemEntry& item : items) {
        ExpectBlankInfo(item.info, 0x80);
        EXPECT_EQ(L"", item.entryText);
    }

    items.clear();
    EXPECT_EQ(Success, BrowseItems(L"OTHER", items));
    EXPECT_EQ((std::vector<std::wstring>{L"ELSE"}), Names(items));
}

TEST_F(DatabaseBrowserTest, PathsThatNameNoHomeListNothing) {
    AddHome(L"KEY_DB", L"DB", L"C:\\ORA\\DB");
    AddService(L"OracleServiceORCL", L"C:\\ORA\\DB\\bin\\ORACLE.EXE ORCL");
    for (const wchar_t* path : {L"DB\\ORCL", L"db", L"NOHOME", L"DB\\"}) {
        ItemEntryList items;
        EXPECT_EQ(Success, BrowseItems(path, items));
        EXPECT_TRUE(items.empty()) << Names(items).size();
    }
}

TEST_F(DatabaseBrowserTest, AHomeNamedWithABackslashIsReachedThroughItsEscapedName) {
    AddHome(L"KEY_AB", L"A\\B", L"C:\\ORA\\AB");
    AddService(L"OracleServiceORCL", L"C:\\ORA\\AB\\bin\\ORACLE.EXE ORCL");
    ItemEntryList items;
    EXPECT_EQ(Success, BrowseItems(L"", items));
    EXPECT_EQ((std::vector<std::wstring>{L"A%5CB"}), Names(items));

    items.clear();
    EXPECT_EQ(Success, BrowseItems(L"A%5CB", items));
    EXPECT_EQ((std::vector<std::wstring>{L"ORCL"}), Names(items));

    ItemInfo info = MarkedInfo();
    EXPECT_EQ(Success, BrowseItemInfo(L"A%5CB", info));
    ExpectBlankInfo(info, 0x10);
    info = MarkedInfo();
    EXPECT_EQ(Success, BrowseItemInfo(L"A%5CB\\ORCL", info));
    ExpectBlankInfo(info, 0x80);

    uint32_t attributes = 0;
    EXPECT_EQ(UnknownItem, InfoOf(L"A\\B", attributes)); // home A, SID B
    EXPECT_EQ(UnknownItem, InfoOf(L"A\\B\\ORCL", attributes));
}

TEST_F(DatabaseBrowserTest, ItemInfoAnswersForHomesAndInstancesOnly) {
    AddHome(L"KEY_HOME", L"HOME", L"C:\\ORA\\HOME");
    AddService(L"OracleServiceORCL", L"C:\\ORA\\HOME\\bin\\ORACLE.EXE ORCL");
    uint32_t attributes = 0;
    EXPECT_EQ(Success, InfoOf(L"HOME", attributes));
    EXPECT_EQ(0x10u, attributes);
    EXPECT_EQ(Success, InfoOf(L"HOME\\ORCL", attributes));
    EXPECT_EQ(0x80u, attributes);

    for (const wchar_t* path :
         {L"", L"home", L"HOME\\orcl", L"home\\ORCL", L"HOME\\", L"HOME\\ORCL\\X", L"HOME\\NOSID",
          L"NOHOME\\ORCL", L"\\ORCL", L"HOME%5CORCL"}) {
        ItemInfo info = MarkedInfo();
        EXPECT_EQ(UnknownItem, BrowseItemInfo(path, info)) << path;
        ExpectUntouched(info);
    }
}

TEST_F(DatabaseBrowserTest, EverythingAfterTheFirstBackslashIsTheSid) {
    AddHome(L"KEY_HOME", L"HOME", L"C:\\ORA\\HOME");
    AddService(L"OracleServiceA", L"C:\\ORA\\HOME\\bin\\ORACLE.EXE ORCL\\X");
    AddService(L"OracleServiceB", L"C:\\ORA\\HOME\\bin\\ORACLE.EXE ");
    uint32_t attributes = 0;
    EXPECT_EQ(Success, InfoOf(L"HOME\\ORCL%5CX", attributes));
    EXPECT_EQ(Success, InfoOf(L"HOME\\ORCL\\X", attributes));
    EXPECT_EQ(0x80u, attributes);
    EXPECT_EQ(Success, InfoOf(L"HOME\\", attributes)); // the empty SID, here registered
    EXPECT_EQ(0x80u, attributes);
    EXPECT_EQ(UnknownItem, InfoOf(L"HOME\\ORCL", attributes));
}

TEST_F(DatabaseBrowserTest, AHomeWithAnEmptyNameMakesTheRootAnItem) {
    AddHome(L"KEY_EMPTY", L"", L"C:\\ORA\\NAMELESS");
    uint32_t attributes = 0;
    EXPECT_EQ(Success, InfoOf(L"", attributes));
    EXPECT_EQ(0x10u, attributes);
    ItemEntryList items;
    EXPECT_EQ(Success, BrowseItems(L"", items));
    EXPECT_EQ((std::vector<std::wstring>{L""}), Names(items));
}

TEST_F(DatabaseBrowserTest, ListingOnlyAppends) {
    AddHome(L"KEY_DB", L"DB", L"C:\\ORA\\DB");
    AddService(L"OracleServiceORCL", L"C:\\ORA\\DB\\bin\\ORACLE.EXE ORCL");
    ItemEntryList items;
    items.push_back(ItemEntry(ItemInfo(9, 9, 9, 9, 0x80, 0x1), L"host's own"));
    EXPECT_EQ(Success, BrowseItems(L"", items));
    EXPECT_EQ(Success, BrowseItems(L"", items));
    EXPECT_EQ(Success, BrowseItems(L"DB", items));
    EXPECT_EQ(Success, BrowseItems(L"NOHOME", items));
    EXPECT_EQ((std::vector<std::wstring>{L"host's own", L"DB", L"DB", L"ORCL"}), Names(items));
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
    EXPECT_EQ((std::vector<std::wstring>{L"A%5CB", L"ORCL"}), Names(items));
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
