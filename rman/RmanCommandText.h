// The texts of the Recovery Manager commands that the plug-in sends, built from a job's settings.
//
// Every command ends with a semicolon and a line feed. Fields are inserted verbatim: nothing is
// quoted, escaped, trimmed or validated. A file in the job's folder is named by tempFolder, one
// backslash and a file-name template whose % variables Recovery Manager expands itself.
#pragma once

#include "plugin/OracleSettings.h"

#include <string>
#include <vector>

namespace RmanCommandText {

// Commands without a variable part.
extern const wchar_t* const kCrosscheckBackups;
extern const wchar_t* const kShutdownImmediate;
extern const wchar_t* const kStartupMount;
extern const wchar_t* const kStartup; // start and open
extern const wchar_t* const kStartupForceNomount;
extern const wchar_t* const kOpenDatabase;
extern const wchar_t* const kOpenDatabaseResetLogs;
extern const wchar_t* const kRestoreArchiveLogs;
extern const wchar_t* const kRecoverDatabase;
extern const wchar_t* const kRecoverUntilFirstLog; // incomplete recovery after a failed one
extern const wchar_t* const kClearTapeChannel;
extern const wchar_t* const kDiskAsDefaultDevice;

std::wstring DeleteTaggedBackups(const OracleSettings& settings);
std::wstring BackupSpFileToFolder(const OracleSettings& settings);
std::wstring BackupControlFileToFolder(const OracleSettings& settings);
// The database, as a compressed backup set when useCompression is set, with the archived logs
// when backupArchiveLog is set.
std::wstring BackupDatabaseToFolder(const OracleSettings& settings);
std::wstring CatalogTempFolder(const OracleSettings& settings);
std::wstring RestoreDatabaseByTag(const OracleSettings& settings);
std::wstring SetDbid(const OracleSettings& settings);
// Restores from the piece pieceName in tempFolder; an empty pieceName names the template instead.
std::wstring RestoreSpFile(const OracleSettings& settings, const std::wstring& pieceName);
std::wstring RestoreControlFile(const OracleSettings& settings, const std::wstring& pieceName);
// Has Recovery Manager run commandLine in the operating system's shell.
std::wstring HostCommand(const std::wstring& commandLine);
// The shell's command line that copies source into destination, overwriting without asking.
std::wstring CopyFileCommandLine(const std::wstring& source, const std::wstring& destination);

// The Oracle configuration files copied beside a backup: tnsnames.ora, listener.ora and
// sqlnet.ora of the home's network\ADMIN folder, then the instance's password file.
std::vector<std::wstring> ConfigurationFiles(const OracleSettings& settings);

} // namespace RmanCommandText
