#include "plugin/PluginSettings.h"

#include "rman/BackupDescription.h"
#include "rman/RecoveryPoint.h"
#include "virid/FormatString.h"
#include "virid/Strings.h"

bool ParseBooleanSetting(bool found, const std::wstring& text, bool missingMeans) {
    if (!found)
        return missingMeans;
    return text == L"yes" || text == L"true" || text == L"1";
}

bool ParseMinutesSetting(const std::wstring& text, double& minutes) {
    const std::wstring number = VIRid::strings::TrimBlanks(text);
    if (number.empty()) {
        minutes = 0;
        return true;
    }
    const size_t point = number.find(L'.');
    const size_t whole = point == std::wstring::npos ? number.size() : point;
    if (whole > 9 || number == L"." || number.find(L'.', whole + 1) != std::wstring::npos)
        return false;
    // Digit by digit, whatever decimal separator the host's locale has set.
    double value = 0;
    double scale = 1;
    for (size_t i = 0; i < number.size(); ++i) {
        if (i == point)
            continue;
        if (number[i] < L'0' || number[i] > L'9')
            return false;
        if (i > whole)
            scale /= 10;
        value = value * 10 + (number[i] - L'0');
    }
    minutes = value * scale;
    return true;
}

bool ParsePieceSizeSetting(const std::wstring& text, unsigned long long& mebibytes) {
    const std::wstring number = VIRid::strings::TrimBlanks(text);
    if (number.empty()) {
        mebibytes = 1024;
        return true;
    }
    unsigned long long value = 0;
    if (number.size() > 7 || !VIRid::strings::ParseDecimal(number, value) || value > 1048576)
        return false;
    mebibytes = value;
    return true;
}

std::wstring ReadPluginSettings(PluginSettingsSource& source, std::wstring& workstationTempPath,
                                OracleSettings& settings, std::wstring& backupError,
                                std::wstring& restoreError) {
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

    std::wstring timeout;
    const bool timeoutMalformed = source.GetValue(L"RmanTimeout", &timeout) &&
                                  !ParseMinutesSetting(timeout, settings.rmanTimeoutMinutes);

    backupError.clear();
    scratch.clear();
    if (source.GetValue(L"BackupType", &scratch) && !ParseBackupKind(scratch, settings.backupKind))
        backupError = FormatString(L"Can't start the backup: the setting BackupType is '%s'; it "
                                   L"takes 'full' or 'archivelog'",
                                   scratch.c_str());
    scratch.clear();
    const bool found = source.GetValue(L"DeleteArchivedLogs", &scratch);
    settings.deleteArchivedLogs = ParseBooleanSetting(found, scratch, false);
    scratch.clear();
    if (source.GetValue(L"PieceSize", &scratch) &&
        !ParsePieceSizeSetting(scratch, settings.pieceSizeMiB) && backupError.empty())
        backupError = FormatString(L"Can't start the backup: the setting PieceSize is '%s'; it "
                                   L"takes a whole number of MiB from 0 to 1048576 (0: the whole "
                                   L"backup is written before it is streamed)",
                                   scratch.c_str());

    scratch.clear();
    const bool openFound = source.GetValue(L"OpenAfterRestore", &scratch);
    settings.openAfterRestore = ParseBooleanSetting(openFound, scratch);
    std::wstring untilTime;
    std::wstring untilScn;
    const bool timeFound = source.GetValue(L"RecoverUntilTime", &untilTime);
    const bool scnFound = source.GetValue(L"RecoverUntilScn", &untilScn);
    restoreError = ReadRecoveryPoint(scnFound, untilScn, timeFound, untilTime, settings);

    if (timeoutMalformed)
        return FormatString(L"The setting RmanTimeout is not a number of minutes (such as 30 or "
                            L"0.5): '%s'",
                            timeout.c_str());
    return std::wstring();
}
