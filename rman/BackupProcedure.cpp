#include "rman/RmanProcedures.h"

#include <windows.h>

namespace {

// Oracle's answer to an online backup of a database that keeps no archived logs: the one
// failure that an offline backup mends.
const wchar_t kNoArchiveLogMode[] = L"ORA-19602";
// Oracle's refusal to archive the current log of a database that keeps no archived logs.
const wchar_t kNoManualArchiving[] = L"ORA-00258";
const wchar_t kNothingToArchive[] = L"The database is in NOARCHIVELOG mode: it has no archived "
                                    L"logs to back up; take full backups instead";

bool BackupDatabase(RmanWrapper& rman, OracleSettings& settings,
                    const RmanCommandRunner& commands) {
    // Once this procedure has taken the database down, a failure must not leave it down: it is
    // brought back (opened from the mount, or started afresh when there is no mount) and the
    // failure's own message is what the caller reports.
    const auto failAfterShutdown = [&](bool mounted) {
        if (settings.openAfterBackup)
            commands.AttemptKeepingErrorText(mounted ? RmanCommand::OpenDatabase
                                                     : RmanCommand::Startup);
        return false;
    };
    const auto backupDatabase = [&]() {
        // The folder normally exists; a failure here shows in the backup's own result.
        CreateDirectoryW(settings.tempFolder.c_str(), nullptr);
        return commands.Run(RmanCommand::BackupDatabaseToFolder);
    };

    if (!settings.onlineBackup) {
        if (!commands.Run(RmanCommand::ShutdownImmediate) ||
            !commands.Run(RmanCommand::StartupMount))
            return failAfterShutdown(false);
    }
    if (settings.backupSPFile)
        commands.Attempt(RmanCommand::BackupSpFileToFolder);
    if (settings.backupControlFile)
        commands.Attempt(RmanCommand::BackupControlFileToFolder);

    if (!backupDatabase()) {
        if (!settings.onlineBackup)
            return failAfterShutdown(true);
        // Any other failure of an online backup (a full disk, a refused format) is no reason to
        // take the database down.
        if (rman.FailureReason().find(kNoArchiveLogMode) == std::wstring::npos)
            return false;
        // The database keeps no archived logs: back it up offline, once.
        settings.onlineBackup = false;
        settings.backupArchiveLog = false;
        if (!commands.Run(RmanCommand::ShutdownImmediate) ||
            !commands.Run(RmanCommand::StartupMount))
            return failAfterShutdown(false);
        if (!backupDatabase())
            return failAfterShutdown(true);
    }

    for (const std::wstring& source : ConfigurationFiles(settings))
        commands.AttemptCopy(source, settings.tempFolder);
    return true;
}

// A restore of the logs needs nothing else from the database: no pieces of its files, no copies
// of its configuration.
bool BackupArchivedLogs(RmanWrapper& rman, const OracleSettings& settings,
                        const RmanCommandRunner& commands) {
    CreateDirectoryW(settings.tempFolder.c_str(), nullptr);
    if (commands.Run(RmanCommand::BackupArchivedLogsToFolder))
        return true;
    if (rman.FailedWith(kNoManualArchiving))
        rman.Fail(kNothingToArchive);
    return false;
}

} // namespace

bool RunBackup(RmanWrapper& rman, OracleSettings& settings) {
    if (!rman.Start(settings) || !rman.Connect(settings))
        return false;
    const RmanCommandRunner commands(rman, settings);
    commands.Attempt(RmanCommand::ClearTapeChannel);
    commands.Attempt(RmanCommand::DiskAsDefaultDevice);
    commands.Attempt(RmanCommand::CrosscheckBackups);
    commands.Attempt(RmanCommand::DeleteTaggedBackups);
    return settings.backupKind == BackupKind::ArchivedLogs
               ? BackupArchivedLogs(rman, settings, commands)
               : BackupDatabase(rman, settings, commands);
}

bool CompleteBackup(RmanWrapper& rman, const OracleSettings& settings) {
    const RmanCommandRunner commands(rman, settings);
    // An archived-log backup never takes the database down, whatever onlineBackup says.
    const bool reopen = settings.backupKind == BackupKind::Full && !settings.onlineBackup &&
                        settings.openAfterBackup;
    if (!rman.IsRunning()) {
        // Sends nothing; the attempt only leaves how Recovery Manager ended in the error text.
        if (reopen)
            commands.AttemptKeepingErrorText(RmanCommand::OpenDatabase);
        return !reopen;
    }
    commands.Attempt(RmanCommand::CrosscheckBackups);
    commands.Attempt(RmanCommand::DeleteTaggedBackups);
    return !reopen || commands.Run(RmanCommand::OpenDatabase);
}
