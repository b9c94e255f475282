// Reading of the host's named settings into the plug-in object's settings template.
#pragma once

#include "plugin/PluginContract.h"
#include "rman/OracleSettings.h"

#include <string>

// The keys that the plug-in reads, in the order it reads them.
inline constexpr const wchar_t* kSettingKeys[] = {
    L"WSTempPath",      L"UserName",          L"Password",         L"OnlineBackup",
    L"BackupSPFile",    L"BackupControlFile", L"UseCompression",   L"BackupArchiveLog",
    L"OpenAfterBackup", L"RmanTimeout",       L"BackupType",       L"DeleteArchivedLogs",
    L"PieceSize",       L"OpenAfterRestore",  L"RecoverUntilTime", L"RecoverUntilScn"};

// A number of minutes as "RmanTimeout" gives it: decimal digits with at most one "." among them
// ("30", "0.5", ".05"); empty or blank means 0. False for anything else (a sign, an exponent, a
// comma, more than 9 digits before the point).
bool ParseMinutesSetting(const std::wstring& text, double& minutes);

// A number of MiB as "PieceSize" gives it: decimal digits (blanks around them aside), at most
// 1048576 (1 TiB); empty or blank means the default, 1024. False for anything else.
bool ParsePieceSizeSetting(const std::wstring& text, unsigned long long& mebibytes);

// A missing key (found false) means missingMeans; otherwise only exactly "yes", "true" or "1"
// mean true.
bool ParseBooleanSetting(bool found, const std::wstring& text, bool missingMeans = true);

// Reads "WSTempPath" into workstationTempPath and the other keys into settings. Texts are
// taken unchanged; a missing text key leaves the empty text. After the nine keys of every
// release come "RmanTimeout", "BackupType" ("full" or "archivelog", exactly; a missing key means
// full), "DeleteArchivedLogs" (a missing key means false) and "PieceSize" (a missing key means
// 1024). Returns the text of the first
// malformed value that every job refuses (empty when there is none); backupError: empty, or why
// no backup job can start with these settings (a BackupType of another value, a malformed
// PieceSize). Then "OpenAfterRestore" (a missing key means true), "RecoverUntilTime" and
// "RecoverUntilScn" (see ReadRecoveryPoint); restoreError: empty, or why no restore job can start
// with them.
std::wstring ReadPluginSettings(PluginSettingsSource& source, std::wstring& workstationTempPath,
                                OracleSettings& settings, std::wstring& backupError,
                                std::wstring& restoreError);
