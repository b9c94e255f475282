#include "plugin/PluginSettings.h"
#include "rman/OracleSettings.h"
#include "tests/support/FakeHost.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <initializer_list>
#include <iterator>
#include <vector>

namespace {

const wchar_t* const kFlagKeys[] = {L"OnlineBackup",   L"BackupSPFile",     L"BackupControlFile",
                                    L"UseCompression", L"BackupArchiveLog", L"OpenAfterBackup"};

std::vector<bool> Flags(const OracleSettings& s) {
    return {s.onlineBackup,   s.backupSPFile,     s.backupControlFile,
            s.useCompression, s.backupArchiveLog, s.openAfterBackup};
}

// The settings with a value; a null value leaves its key missing.
MapSettings Given(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> values) {
    MapSettings source;
    for (const auto& value : values)
        if (value.second != nullptr)
            source.values[value.first] = value.second;
    return source;
}

// What ReadPluginSettings makes of a source: its result, and all it fills in.
struct Read {
    explicit Read(PluginSettingsSource& source)
        : error(ReadPluginSettings(source, tempPath, s, backupError, restoreError)) {}
    std::wstring tempPath = L"left over", backupError = L"left over", restoreError = L"left over";
    OracleSettings s;
    std::wstring error;
};

TEST(BooleanSetting, OnlyExactYesTrueAndOneOrAMissingKeyAreTrue) {
    for (const wchar_t* text : {L"yes", L"true", L"1"})
        EXPECT_TRUE(ParseBooleanSetting(true, text)) << text;
    for (const wchar_t* text :
         {L"Yes", L"TRUE", L"True", L"no", L"0", L"false", L" 1", L"1 ", L"", L"yes\r", L"11"})
        EXPECT_FALSE(ParseBooleanSetting(true, text)) << text;
}

// Each flag is read from its own key, a missing one is true (UseCompression too), and each of
// the sixteen keys is asked for once; missing texts are empty.
TEST(SettingsReading, EachFlagReadsItsOwnKeyAndAMissingKeyIsTrue) {
    for (size_t i = 0; i <= 6; ++i) { // 6: an empty source
        MapSettings source;
        std::vector<bool> expected(6, true);
        if (i < 6) {
            source.values[kFlagKeys[i]] = L"0";
            expected[i] = false;
        }
        const Read read(source);
        EXPECT_EQ(expected, Flags(read.s)) << i;
        EXPECT_EQ(L"", read.error + read.tempPath + read.s.userName + read.s.password +
                           read.backupError + read.restoreError);
        EXPECT_TRUE(read.s.openAfterRestore);
        EXPECT_EQ(16, source.calls);
    }
}

// RmanTimeout: decimal minutes whatever the host's locale; anything else is refused, by name.
TEST(SettingsReading, RmanTimeoutIsADecimalNumberOfMinutes) {
    const std::pair<const wchar_t*, double> good[] = {{nullptr, 0}, {L"30", 30}, {L"0.05", 0.05},
                                                      {L".5", 0.5}, {L"2.", 2},  {L"", 0},
                                                      {L" 7 ", 7},  {L"0", 0}};
    for (const auto& value : good) {
        MapSettings source = Given({{L"RmanTimeout", value.first}});
        const Read read(source);
        EXPECT_EQ(L"", read.error) << (value.first ? value.first : L"-");
        EXPECT_DOUBLE_EQ(value.second, read.s.rmanTimeoutMinutes);
    }
    for (const wchar_t* bad :
         {L"-1", L"+1", L"1e3", L"0,5", L"1.2.3", L".", L"ten", L"5 min", L"1234567890", L"0x10"}) {
        MapSettings source{{L"RmanTimeout", bad}};
        EXPECT_EQ(L"The setting RmanTimeout is not a number of minutes (such as 30 or 0.5): '" +
                      std::wstring(bad) + L"'",
                  Read(source).error);
    }
}

// PieceSize: whole MiB up to 1 TiB, blanks around them aside; empty means the default. Anything
// else keeps every backup from starting, with the value named.
TEST(SettingsReading, PieceSizeTakesWholeMebibytes) {
    const struct {
        const wchar_t* text; // nullptr: missing
        unsigned long long mebibytes;
        bool refused;
    } cases[] = {
        {nullptr, 1024, false},    {L"", 1024, false},           {L" 64 ", 64, false},
        {L"0", 0, false},          {L"1048576", 1048576, false}, {L"1048577", 1024, true},
        {L"64M", 1024, true},      {L"-1", 1024, true},          {L"1.5", 1024, true},
        {L"12345678", 1024, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text ? c.text : L"-")));
        MapSettings source = Given({{L"PieceSize", c.text}});
        const Read read(source);
        EXPECT_EQ(L"", read.error + read.restoreError) << "restores go on";
        EXPECT_EQ(c.mebibytes, read.s.pieceSizeMiB);
        EXPECT_EQ(c.refused,
                  read.backupError.find(L"PieceSize is '" + std::wstring(c.text ? c.text : L"") +
                                        L"'") != std::wstring::npos)
            << testing::PrintToString(read.backupError);
    }
}

// The settings of later releases: a missing key keeps the backup of the first (full, no log
// deleted). BackupType takes its two names exactly; any other value is named in the reason why
// no backup can start. The keys are asked for in the order that the host is told.
TEST(SettingsReading, BackupTypeAndDeleteArchivedLogsAndTheOrderOfTheKeys) {
    const wchar_t kNotAType[] = L"Can't start the backup: the setting BackupType is '%s'; it takes "
                                L"'full' or 'archivelog'";
    const struct {
        const wchar_t* backupType; // nullptr: missing
        const wchar_t* deleteLogs;
        BackupKind kind;
        bool deleteArchivedLogs;
        bool refused;
    } cases[] = {
        {nullptr, nullptr, BackupKind::Full, false, false},
        {L"archivelog", L"yes", BackupKind::ArchivedLogs, true, false},
        {L"full", L"1", BackupKind::Full, true, false},
        {L"Full", L"no", BackupKind::Full, false, true},
        {L"incremental", L"Yes", BackupKind::Full, false, true},
        {L"", L"", BackupKind::Full, false, true},
    };
    for (const auto& c : cases) {
        MapSettings source =
            Given({{L"BackupType", c.backupType}, {L"DeleteArchivedLogs", c.deleteLogs}});
        const Read read(source);
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.backupType ? c.backupType : L"-")));
        EXPECT_EQ(c.kind, read.s.backupKind);
        EXPECT_EQ(c.deleteArchivedLogs, read.s.deleteArchivedLogs);
        std::wstring expected;
        if (c.refused) {
            expected = kNotAType;
            expected.replace(expected.find(L"%s"), 2, c.backupType);
        }
        EXPECT_EQ(expected, read.backupError);
    }

    class KeyLog : public PluginSettingsSource {
    public:
        bool GetValue(const wchar_t* key, std::wstring*) override {
            keys.push_back(key);
            return false;
        }
        std::vector<std::wstring> keys;
    } keyLog;
    Read{keyLog};
    EXPECT_EQ(std::vector<std::wstring>(std::begin(kSettingKeys), std::end(kSettingKeys)),
              keyLog.keys);
}

// The restore's settings: OpenAfterRestore as the other flags; one point at most, an SCN in
// decimal digits or a real date and time; anything else names the setting and its value, and no
// restore can start. The time is kept without the blanks around it.
TEST(SettingsReading, OpenAfterRestoreAndOnePointToRecoverTo) {
    const struct {
        const wchar_t* open; // nullptr: missing, as the points
        const wchar_t* scn;
        const wchar_t* time;
        bool openAfterRestore;
        unsigned long long untilScn;
        const wchar_t* untilTime;
        const wchar_t* refusal; // the start of restoreError; empty: none
    } cases[] = {
        {nullptr, nullptr, nullptr, true, 0, L"", L""},
        {L"no", L" 1946270 ", nullptr, false, 1946270, L"", L""},
        {L"yes", nullptr, L" 2026-12-07 14:32:00", true, 0, L"2026-12-07 14:32:00", L""},
        {nullptr, L"", L"", true, 0, L"", L""},
        {nullptr, nullptr, L"2024-02-29 23:59:59", true, 0, L"2024-02-29 23:59:59", L""},
        {nullptr, L"9999999999999999999", nullptr, true, 9999999999999999999ULL, L"", L""},
        {nullptr, L"1", L"2026-12-07 14:32:00", true, 0, L"",
         L"Can't start the restore: RecoverUntilScn and RecoverUntilTime are both set"},
        {nullptr, L"10000000000000000000", nullptr, true, 0, L"",
         L"Can't start the restore: the setting RecoverUntilScn is '10000000000000000000'"},
        {nullptr, L"0", nullptr, true, 0, L"",
         L"Can't start the restore: the setting "
         L"RecoverUntilScn is '0'"},
        {nullptr, L"12a", nullptr, true, 0, L"",
         L"Can't start the restore: the setting "
         L"RecoverUntilScn is '12a'"},
    };
    const wchar_t* const kBadTimes[] = {L"2023-02-29 10:00:00", L"2026-04-31 10:00:00",
                                        L"2026-12-07 24:00:00", L"2026-12-07 14:60:00",
                                        L"2026-12-07 14:32:60", L"2026-13-01 00:00:00",
                                        L"2026-00-10 00:00:00", L"2026-12-07T14:32:00",
                                        L"2026-12-07 14:32",    L"07-DEC-26"};
    for (const auto& c : cases) {
        MapSettings source = Given({{L"OpenAfterRestore", c.open},
                                    {L"RecoverUntilScn", c.scn},
                                    {L"RecoverUntilTime", c.time}});
        const Read read(source);
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.scn ? c.scn : L"-") + L"/" +
                                            (c.time ? c.time : L"-")));
        EXPECT_EQ(L"", read.error);
        EXPECT_EQ(c.openAfterRestore, read.s.openAfterRestore);
        EXPECT_EQ(c.untilScn, read.s.recoverUntilScn);
        EXPECT_EQ(c.untilTime, read.s.recoverUntilTime);
        EXPECT_EQ(c.refusal, read.restoreError.substr(0, std::wcslen(c.refusal)));
        EXPECT_EQ(std::wstring(c.refusal).empty(), read.restoreError.empty());
    }
    for (const wchar_t* bad : kBadTimes) {
        MapSettings source{{L"RecoverUntilTime", bad}};
        EXPECT_EQ(L"Can't start the restore: the setting RecoverUntilTime is '" +
                      std::wstring(bad) +
                      L"'; it takes a date and time of the database's clock as YYYY-MM-DD "
                      L"HH:MM:SS (such as 2026-12-07 14:32:00)",
                  Read(source).restoreError);
    }
}

} // namespace
