#include "plugin/PluginSettings.h"

#include "rman/BackupDescription.h"
#include "virid/FormatString.h"

bool ParseBooleanSetting(bool found, const std::wstring& text, bool missingMeans) {
    if (!found)
        return missingMeans;
    return text == L"yes" || text == L"true" || text == L"1";
}

void ReadPluginSettings(PluginSettingsSource& source, std::wstring& workstationTempPath,
                        OracleSettings& settings, std::wstring& backupError) {
    std::wstring tempPath;
    source.GetValue(L"WSTempPath", &tempPath);
    workstationTempPath = tempPath;
    source.GetValue(L"UserName", &settings.userName);
    source.GetValue(L"Password", &settings.password);

    struct BooleanKey {
        const wchar_t* key;
        bool OracleSettings::*flag;
    };
    static const BooleanKey kBooleanKeys[] = {
        {L"OnlineBackup", &OracleSettings::onlineBackup},
        {L"BackupSPFile", &OracleSettings::backupSPFile},
        {L"BackupControlFile", &OracleSettings::backupControlFile},
        {L"UseCompression", &OracleSettings::useCompression},
        {L"BackupArchiveLog", &OracleSettings::backupArchiveLog},
        {L"OpenAfterBackup", &OracleSettings::openAfterBackup},
    };
    std::wstring scratch;
    for (const BooleanKey& entry : kBooleanKeys) {
        scratch.clear();
        const bool found = source.GetValue(entry.key, &scratch);
        settings.*entry.flag = ParseBooleanSetting(found, scratch);
    }

    backupError.clear();
    scratch.clear();
    if (source.GetValue(L"BackupType", &scratch) && !ParseBackupKind(scratch, settings.backupKind))
        backupError = FormatString(L"Can't start the backup: the setting BackupType is '%s'; it "
                                   L"takes 'full' or 'archivelog'",
                                   scratch.c_str());
    scratch.clear();
    const bool found = source.GetValue(L"DeleteArchivedLogs", &scratch);
    settings.deleteArchivedLogs = ParseBooleanSetting(found, scratch, false);
}
