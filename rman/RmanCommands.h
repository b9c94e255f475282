// The Recovery Manager commands that the plug-in sends: one table of how each text is built from
// a job's settings and which message a failure of it leaves.
//
// Every command ends with a semicolon and a line feed. Fields are inserted verbatim: nothing is
// quoted, escaped, trimmed or validated. A file in the job folder is named by tempFolder, one
// backslash and a file-name template whose % variables Recovery Manager expands itself.
#pragma once

#include "rman/BackupPieceChoice.h"
#include "rman/OracleSettings.h"

#include <string>
#include <vector>

enum class RmanCommand {
    ClearTapeChannel,
    DiskAsDefaultDevice,
    CrosscheckBackups,
    DeleteTaggedBackups,
    ShutdownImmediate,
    StartupMount,
    Startup, // start and open
    StartupForceNomount,
    OpenDatabase,
    OpenDatabaseResetLogs,
    BackupSpFileToFolder,
    BackupControlFileToFolder,
    // As a compressed backup set when useCompression is set, with the archived logs when
    // backupArchiveLog is set.
    BackupDatabaseToFolder,
    // All archived logs on disk, the current one archived first; compressed as
    // BackupDatabaseToFolder is.
    BackupArchivedLogsToFolder,
    // BackupDatabaseToFolder on a channel of its own that writes pieces of at most pieceSizeMiB
    // (maxpiecesize), as one RUN block on one line.
    StreamDatabaseToFolder,
    // The data files with their sizes.
    ReportSchema,
    // What the backup sets of the tag hold, as LIST BACKUP shows it.
    ListDatabaseBackups,
    ListArchivedLogBackups,
    ListIncarnations, // the database's incarnations, as LIST INCARNATION shows them
    CatalogTempFolder,
    RestoreDatabaseByTag,
    RestoreDatabase, // from the newest backup, whatever its tag
    RestoreArchiveLogs,
    RecoverDatabase,      // to the settings' point when one is set (see RecoverDatabaseText)
    RecoverUntilFirstLog, // incomplete recovery after a failed one
    SetDbid,
    // Both restore from the piece named by the caller (a file of tempFolder), or from the
    // template's own name when none is given.
    RestoreSpFile,
    RestoreControlFile, // the last: the command table's length is checked against it
};

// The command's text for the settings. Recovery Manager expands no % variable in the name it
// restores from, so RestoreSpFile and RestoreControlFile name the newest of folderFiles (the
// files of tempFolder) made by their template (see NewestFileWithExtension), or the template
// itself when there is none; the other commands do not look at folderFiles.
std::wstring RmanCommandText(RmanCommand command, const OracleSettings& settings,
                             const std::vector<FolderFile>& folderFiles = {});
// The text of a command that names a backup piece (NamesBackupPiece), naming piece (a file name
// in tempFolder).
std::wstring RmanCommandTextNaming(RmanCommand command, const OracleSettings& settings,
                                   const std::wstring& piece);
// The command names a backup piece chosen among the folder's files (RestoreSpFile,
// RestoreControlFile).
bool NamesBackupPiece(RmanCommand command);
// The error text that a failure of the command leaves; null for the commands without one, whose
// failure leaves the error text as it was.
const wchar_t* RmanCommandFailure(RmanCommand command);

// The connect command for the settings: "connect target user/password\n", or with
// "@connectIdentifier" after the password when oracleSid is empty. Values are used as they are.
std::wstring ConnectCommand(const OracleSettings& settings);

// Deletes the archived logs of thread from sequence first to last that are backed up at least once
// on disk; the deletion policy still applies (no FORCE).
std::wstring DeleteBackedUpLogsCommand(unsigned long long thread, unsigned long long first,
                                       unsigned long long last);

// Has Recovery Manager run commandLine in the operating system's shell.
std::wstring HostCommandText(const std::wstring& commandLine);
// The shell's command line that copies source into destination, overwriting without asking.
std::wstring CopyFileCommandLine(const std::wstring& source, const std::wstring& destination);
const wchar_t* const kHostCommandFailure = L"Host command failed";

// The Oracle configuration files copied beside a backup: tnsnames.ora, listener.ora and
// sqlnet.ora of the home's network\ADMIN folder, then the instance's password file.
std::vector<std::wstring> ConfigurationFiles(const OracleSettings& settings);
