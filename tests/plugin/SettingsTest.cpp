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
    EXPECT_TRUE(ParseBooleanSetting(false, L""));
    EXPECT_TRUE(ParseBooleanSetting(false, L"no"));
}

TEST(OracleSettingsRecord, CompressionIsOffUnlessReadAndRmanIsInTheHomesBin) {
    OracleSettings s;
    EXPECT_EQ(std::vector<bool>({true, true, true, false, true, true}), Flags(s));
    s.oracleHome = L"C:\\ora";
    EXPECT_EQ(L"C:\\ora\\bin\\rman.exe", s.GetRmanPath());
    s.oracleHome = L"C:\\ora\\";
    EXPECT_EQ(L"C:\\ora\\\\bin\\rman.exe", s.GetRmanPath()); // joined as they are
}

TEST(SettingsReading, EmptySourceGivesAllFlagsTrueAndEmptyTexts) {
    MapSettings source;
    std::wstring tempPath = L"left over";
    OracleSettings s;
    ReadPluginSettings(source, tempPath, s);
    EXPECT_EQ(std::vector<bool>(6, true), Flags(s)); // UseCompression included
    EXPECT_TRUE(tempPath.empty());
    EXPECT_TRUE(s.userName.empty());
    EXPECT_TRUE(s.password.empty());
    EXPECT_EQ(9, source.calls);
}

TEST(SettingsReading, EachFlagReadsItsOwnKey) {
    for (size_t i = 0; i < 6; ++i) {
        MapSettings source;
        for (size_t j = 0; j < 6; ++j)
            source.values[kFlagKeys[j]] = j == i ? L"0" : L"yes";
        std::wstring tempPath;
        OracleSettings s;
        ReadPluginSettings(source, tempPath, s);
        std::vector<bool> expected(6, true);
        expected[i] = false;
        EXPECT_EQ(expected, Flags(s)) << kFlagKeys[i];
    }
}

TEST(SettingsReading, TextsAreTakenUnchanged) {
    MapSettings source{{L"WSTempPath", L"C:\\Temp\\"},
                       {L"UserName", L" Sys "},
                       {L"Password", L"p@ss word'\""},
                       {L"UseCompression", L"true"}};
    std::wstring tempPath;
    OracleSettings s;
    ReadPluginSettings(source, tempPath, s);
    EXPECT_EQ(L"C:\\Temp\\", tempPath);
    EXPECT_EQ(L" Sys ", s.userName);
    EXPECT_EQ(L"p@ss word'\"", s.password);
    EXPECT_TRUE(s.useCompression);
    EXPECT_TRUE(s.tempFolder.empty());
}

} // namespace
