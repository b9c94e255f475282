#include "plugin/PluginSettings.h"
#include "rman/OracleSettings.h"
#include "tests/support/FakeHost.h"

#include <gtest/gtest.h>

namespace {

const wchar_t* const kFlagKeys[] = {L"OnlineBackup",   L"BackupSPFile",     L"BackupControlFile",
                                    L"UseCompression", L"BackupArchiveLog", L"OpenAfterBackup"};

std::vector<bool> Flags(const OracleSettings& s) {
    return {s.onlineBackup,   s.backupSPFile,     s.backupControlFile,
            s.useCompression, s.backupArchiveLog, s.openAfterBackup};
}

TEST(BooleanSetting, OnlyExactYesTrueAndOneOrAMissingKeyAreTrue) {
    for (const wchar_t* text : {L"yes", L"true", L"1"})
        EXPECT_TRUE(ParseBooleanSetting(true, text)) << text;
    for (const wchar_t* text :
         {L"Yes", L"TRUE", L"True", L"no", L"0", L"false", L" 1", L"1 ", L"", L"yes\r", L"11"})
        EXPECT_FALSE(ParseBooleanSetting(true, text)) << text;
}

// Each flag is read from its own key, a missing one is true (UseCompression too), and each of
// the nine keys is asked for once; missing texts are empty.
TEST(SettingsReading, EachFlagReadsItsOwnKeyAndAMissingKeyIsTrue) {
    for (size_t i = 0; i <= 6; ++i) { // 6: an empty source
        MapSettings source;
        std::vector<bool> expected(6, true);
        if (i < 6) {
            source.values[kFlagKeys[i]] = L"0";
            expected[i] = false;
        }
        std::wstring tempPath = L"left over";
        OracleSettings s;
        ReadPluginSettings(source, tempPath, s);
        EXPECT_EQ(expected, Flags(s)) << i;
        EXPECT_EQ(L"", tempPath + s.userName + s.password);
        EXPECT_EQ(9, source.calls);
    }
}

} // namespace
