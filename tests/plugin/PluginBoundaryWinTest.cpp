#include "plugin/PluginImplementation.h"
#include "tests/support/FakeHost.h"
#include "tools/pluginhost/PluginLibrary.h"

#include <gtest/gtest.h>

namespace {

// The real library, loaded the way a host loads it.
class PluginLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::wstring error;
        ASSERT_TRUE(library_.Load(ProgramFolder() + L"OraclePlugin.dll", error)) << error.size();
        getInfo_ = library_.getPluginInfo;
        getRead_ = library_.getBackupDataRead;
        getWrite_ = library_.getBackupDataWrite;
    }

    PluginLibrary library_;
    GetPluginInfoFunction getInfo_ = nullptr;
    GetBackupDataReadFunction getRead_ = nullptr;
    GetBackupDataWriteFunction getWrite_ = nullptr;
};

TEST_F(PluginLibraryTest, EveryDescriptionIsANewObjectWithTheFixedAnswers) {
    IPluginInfo* first = getInfo_();
    IPluginInfo* second = getInfo_();
    ASSERT_NE(nullptr, first);
    EXPECT_NE(first, second);
    for (IPluginInfo* info : {first, second}) {
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
    IBackupDataWrite* sink = getWrite_(nullptr, &settings); // a null logger is accepted
    ASSERT_NE(nullptr, sink);
    EXPECT_EQ(NotSupported, sink->ReservedReadSlot4());
    EXPECT_EQ(NotSupported, sink->ReservedWriteSlot1());
    EXPECT_EQ(NotSupported, sink->ReservedWriteSlot2());
    EXPECT_EQ(NotSupported, sink->ReservedWriteSlot3());
    EXPECT_EQ(NotSupported, sink->ReservedWriteSlot4());
    EXPECT_EQ(NotSupported, sink->ReservedWriteSlot5());
    EXPECT_EQ(Success, sink->ReservedWriteSlot6());
    EXPECT_EQ(Success, sink->ReservedWriteSlot7());
    sink->ReservedReadSlot8();
    IBackupDataRead* asSource = sink;
    asSource->Release();
}

TEST_F(PluginLibraryTest, ConstructionReadsEveryKeyOnce) {
    MapSettings settings;
    RecordingLogger logger;
    IBackupDataRead* source = getRead_(&logger, &settings);
    ASSERT_NE(nullptr, source);
    EXPECT_EQ(9, settings.calls);
    source->Release();
    EXPECT_EQ(9, settings.calls);
    EXPECT_TRUE(logger.Messages().empty());
}

// Records its own destruction, to show that Release frees the object through either interface.
class ProbedPlugin : public PluginImplementation {
public:
    ProbedPlugin(IPluginSettings* settings, bool* destroyed)
        : PluginImplementation(nullptr, settings), destroyed_(destroyed) {}
    ~ProbedPlugin() override { *destroyed_ = true; }

private:
    bool* destroyed_;
};

TEST(PluginObject, ReleaseThroughEitherInterfaceDestroysTheObject) {
    MapSettings settings;
    bool destroyed = false;
    IBackupDataRead* source = new ProbedPlugin(&settings, &destroyed);
    source->Release();
    EXPECT_TRUE(destroyed);

    destroyed = false;
    IBackupDataWrite* sink = new ProbedPlugin(&settings, &destroyed);
    sink->Release();
    EXPECT_TRUE(destroyed);
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
