#include "host/HostAbi.h"
#include "plugin/PluginImplementation.h"
#include "tests/support/FakeHost.h"
#include "tools/pluginhost/PluginLibrary.h"

#include <gtest/gtest.h>

namespace {

// The real library, called the way a host built with Microsoft's compiler calls it.
class PluginLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::wstring error;
        ASSERT_TRUE(library_.Load(ProgramFolder() + L"OraclePlugin.dll", error)) << error.size();
    }

    PluginLibrary library_;
};

TEST_F(PluginLibraryTest, EveryDescriptionIsANewObjectWithTheFixedAnswers) {
    PluginDescription* first = library_.GetPluginInfo();
    PluginDescription* second = library_.GetPluginInfo();
    ASSERT_NE(nullptr, first);
    EXPECT_NE(first, second);
    for (PluginDescription* info : {first, second}) {
        EXPECT_STREQ(L"1.0", info->GetPluginVersion());
        EXPECT_STREQ(L"Oracle", info->GetName());
        EXPECT_EQ(1, info->GetKind());
        EXPECT_FALSE(info->GetFirstFlag());
        EXPECT_FALSE(info->GetSecondFlag());
        EXPECT_FALSE(info->GetThirdFlag());
        info->Release();
    }
}

TEST_F(PluginLibraryTest, UnsupportedSlotsAnswerAsFixed) {
    MapSettings settings;
    PluginDataObject* sink = library_.GetBackupDataWrite(nullptr, &settings); // no logger
    ASSERT_NE(nullptr, sink);
    EXPECT_EQ(NotSupported, sink->ReservedReadSlot4());
    const int32_t expected[] = {NotSupported, NotSupported, NotSupported, NotSupported,
                                NotSupported, Success,      Success};
    for (int slot = 1; slot <= 7; ++slot)
        EXPECT_EQ(expected[slot - 1], sink->ReservedWriteSlot(slot)) << slot;
    sink->ReservedReadSlot8();
    sink->Delete();
}

TEST_F(PluginLibraryTest, ConstructionReadsEveryKeyOnce) {
    MapSettings settings{{L"UserName", std::wstring(3000, L'u')}};
    RecordingLogger logger;
    PluginDataObject* source = library_.GetBackupDataRead(&logger, &settings);
    ASSERT_NE(nullptr, source);
    EXPECT_EQ(9, settings.calls);
    source->Release();
    EXPECT_EQ(9, settings.calls);
    EXPECT_TRUE(logger.Messages().empty());
}

TEST(PluginObject, SettingsAreReadIntoTheTemplate) {
    MapSettings settings{
        {L"WSTempPath", L"C:\\work\\"}, {L"UseCompression", L"0"}, {L"UserName", L"rman"}};
    PluginImplementation plugin(nullptr, &settings);
    EXPECT_EQ(L"C:\\work\\", plugin.GetWorkstationTempPath());
    EXPECT_EQ(L"rman", plugin.GetSettingsTemplate().userName);
    EXPECT_FALSE(plugin.GetSettingsTemplate().useCompression);
    EXPECT_TRUE(plugin.GetSettingsTemplate().onlineBackup);
}

TEST(PluginObject, RmanLinesGoToTheLoggerAtDetailLevel) {
    MapSettings settings;
    RecordingLogger logger;
    PluginImplementation plugin(&logger, &settings);
    ReportRmanOutput(&plugin, L"Starting backup at 06-DEC-26");
    plugin.Report(LogWarning, L"careful");
    ASSERT_EQ(2u, logger.Messages().size());
    EXPECT_EQ(RecordingLogger::Message(LogDetail, L"Starting backup at 06-DEC-26"),
              logger.Messages()[0]);
    EXPECT_EQ(RecordingLogger::Message(LogWarning, L"careful"), logger.Messages()[1]);

    PluginImplementation silent(nullptr, &settings);
    silent.Report(LogError, L"dropped without a logger"); // must not crash
}

} // namespace
