#include "rman/RmanProcedures.h"

#include "rman/BackupPieceChoice.h"

#include <windows.h>

namespace {

// How long a wait for the streamed backup lasts before it looks again.
const unsigned kAwaitMs = 500;

// Oracle's answer to an online backup of a database that keeps no archived logs: the one
// failure that an offline backup mends.
const wchar_t kActiveFileInNoArchiveLogMode[] = L"ORA-19602";
// Oracle's answer when a database that keeps no archived logs is asked to archive one: the
// archived-log clause of an offline backup has nothing to take.
const wchar_t kArchivingInNoArchiveLogMode[] = L"ORA-00258";

const wchar_t kArchiveLogsLeftOut[] =
    L"The database keeps no archived logs (NOARCHIVELOG mode): the offline backup leaves them out";
const wchar_t kOnlineBackupWithoutLogs[] =
    L"The online backup holds no archived logs (BackupArchiveLog is off): once the control file "
    L"is lost, this stream alone cannot make the database consistent again";
const wchar_t kNothingToArchive[] = L"The database is in NOARCHIVELOG mode: it has no archived "
                                    L"logs to back up; take full backups instead";

// What every backup does first: disk as the device, and no records left of the tag's pieces.
void PrepareBackup(const RmanCommandRunner& commands) {
    commands.Attempt(RmanCommand::ClearTapeChannel);
    commands.Attempt(RmanCommand::DiskAsDefaultDevice);
    commands.Attempt(RmanCommand::CrosscheckBackups);
    commands.Attempt(RmanCommand::DeleteTaggedBackups);
}

// Sends the streamed database backup and waits until its first database piece is named (the
// backup stays under way) or it has ended. False, as a command run fails, when it failed.
bool StartStreamedBackup(RmanWrapper& rman, const OracleSettings& settings, BackupRun& run) {
    run.underWay = false;
    if (!rman.SendCommand(RmanCommandText(RmanCommand::StreamDatabaseToFolder, settings))) {
        rman.Fail(RmanCommandFailure(RmanCommand::StreamDatabaseToFolder));
        return false;
    }
    const std::wstring databasePiece = TemplateExtension(settings.backupPieceFormat);
    for (;;) {
        switch (rman.AwaitCommand(kAwaitMs)) {
        case RmanWrapper::CommandProgress::Running:
            break;
        case RmanWrapper::CommandProgress::PieceNamed:
            for (const std::wstring& piece : rman.TakeNamedPieces()) {
                run.pieces.push_back(piece);
                run.underWay = run.underWay || EndsWithIgnoringCase(piece, databasePiece);
            }
            if (run.underWay)
                return true;
            break;
        case RmanWrapper::CommandProgress::Succeeded:
            run.underWay = false;
            return true;
        case RmanWrapper::CommandProgress::Failed:
            rman.Fail(RmanCommandFailure(RmanCommand::StreamDatabaseToFolder));
            return false;
        }
    }
}

// The data files' bytes as REPORT SCHEMA lists them; 0 when it does not say.
unsigned long long ReportedDataFileBytes(RmanWrapper& rman, const RmanCommandRunner& commands) {
    commands.Attempt(RmanCommand::ReportSchema);
    return rman_output::ReportedDataFileMegabytes(rman.CommandOutput()) << 20;
}

bool BackupDatabase(RmanWrapper& rman, OracleSettings& settings, const RmanCommandRunner& commands,
                    BackupRun& run) {
    std::vector<std::wstring>& warnings = run.warnings;
    // A database that is not open cannot be backed up online: it is backed up offline from
    // where it stands. One that is down is started for the backup and shut down again after it.
    using rman_output::TargetState;
    const TargetState found = rman.TargetState();
    settings.shutDownAfterBackup = found == TargetState::Down;
    if (found == TargetState::Down || found == TargetState::Started ||
        found == TargetState::Mounted)
        settings.onlineBackup = false;

    // Once this procedure has taken the database down, a failure must not leave it down: it is
    // brought back (opened from the mount, or started afresh when there is no mount) and the
    // failure's own message is what the caller reports. One that was found down is left down.
    const auto failAfterShutdown = [&](bool mounted) {
        if (settings.shutDownAfterBackup)
            commands.AttemptKeepingErrorText(RmanCommand::ShutdownImmediate);
        else if (settings.openAfterBackup)
            commands.AttemptKeepingErrorText(mounted ? RmanCommand::OpenDatabase
                                                     : RmanCommand::Startup);
        return false;
    };
    const auto backupDatabase = [&]() {
        // The folder normally exists; a failure here shows in the backup's own result.
        CreateDirectoryW(settings.tempFolder.c_str(), nullptr);
        if (settings.pieceSizeMiB == 0)
            return commands.Run(RmanCommand::BackupDatabaseToFolder);
        return StartStreamedBackup(rman, settings, run);
    };

    if (settings.shutDownAfterBackup && !commands.Run(RmanCommand::StartupMount))
        return failAfterShutdown(false);
    PrepareBackup(commands);

    if (!settings.onlineBackup && !settings.shutDownAfterBackup) {
        if (!commands.Run(RmanCommand::ShutdownImmediate) ||
            !commands.Run(RmanCommand::StartupMount))
            return failAfterShutdown(false);
    }
    if (settings.backupSPFile)
        commands.Attempt(RmanCommand::BackupSpFileToFolder);
    if (settings.backupControlFile)
        commands.Attempt(RmanCommand::BackupControlFileToFolder);
    if (settings.pieceSizeMiB > 0)
        run.dataFileBytes = ReportedDataFileBytes(rman, commands);
    // The small pieces come first in the stream.
    run.pieces = rman.TakeNamedPieces();

    if (!backupDatabase()) {
        if (!settings.onlineBackup) {
            // The database keeps no archived logs: the backup goes on without them, as the
            // offline backup instead of a refused online one does.
            if (!settings.backupArchiveLog || !rman.FailedWith(kArchivingInNoArchiveLogMode))
                return failAfterShutdown(true);
            settings.backupArchiveLog = false;
            warnings.push_back(kArchiveLogsLeftOut);
            if (!backupDatabase())
                return failAfterShutdown(true);
        } else {
            // Any other failure of an online backup (a full disk, a refused format) is no reason
            // to take the database down.
            if (!rman.FailedWith(kActiveFileInNoArchiveLogMode))
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
    }
    if (settings.onlineBackup && !settings.backupArchiveLog)
        warnings.push_back(kOnlineBackupWithoutLogs);
    if (!run.underWay)
        CopyConfigurationFiles(rman, settings);
    return true;
}

// A restore of the logs needs nothing else from the database: no pieces of its files, no copies
// of its configuration; and the database stays as it is.
bool BackupArchivedLogs(RmanWrapper& rman, const OracleSettings& settings,
                        const RmanCommandRunner& commands) {
    PrepareBackup(commands);
    CreateDirectoryW(settings.tempFolder.c_str(), nullptr);
    if (commands.Run(RmanCommand::BackupArchivedLogsToFolder))
        return true;
    if (rman.FailedWith(kArchivingInNoArchiveLogMode))
        rman.Fail(kNothingToArchive);
    return false;
}

} // namespace

bool RunBackup(RmanWrapper& rman, OracleSettings& settings, BackupRun& run) {
    if (!rman.Start(settings) || !rman.Connect(settings))
        return false;
    const RmanCommandRunner commands(rman, settings);
    // Archived-log backups are small: they are written whole before they are streamed.
    if (settings.backupKind == BackupKind::ArchivedLogs) {
        settings.pieceSizeMiB = 0;
        return BackupArchivedLogs(rman, settings, commands);
    }
    return BackupDatabase(rman, settings, commands, run);
}

void CopyConfigurationFiles(RmanWrapper& rman, const OracleSettings& settings) {
    const RmanCommandRunner commands(rman, settings);
    for (const std::wstring& source : ConfigurationFiles(settings))
        commands.AttemptCopy(source, settings.tempFolder);
}

bool BringDatabaseBack(RmanWrapper& rman, const OracleSettings& settings) {
    const RmanCommandRunner commands(rman, settings);
    // What the database is brought back to: down as it was found, or open when asked for. An
    // archived-log backup never takes it down, whatever onlineBackup says.
    const RmanCommand restoring =
        settings.shutDownAfterBackup ? RmanCommand::ShutdownImmediate : RmanCommand::OpenDatabase;
    const bool due =
        settings.shutDownAfterBackup || (settings.backupKind == BackupKind::Full &&
                                         !settings.onlineBackup && settings.openAfterBackup);
    if (!due)
        return true;
    // Without Recovery Manager it sends nothing; the failure only names how it ended.
    if (!rman.IsRunning()) {
        commands.Attempt(restoring);
        return false;
    }
    return commands.Run(restoring);
}

bool CompleteBackup(RmanWrapper& rman, const OracleSettings& settings, bool bringBack) {
    if (rman.IsRunning()) {
        const RmanCommandRunner commands(rman, settings);
        commands.Attempt(RmanCommand::CrosscheckBackups);
        commands.Attempt(RmanCommand::DeleteTaggedBackups);
    }
    return !bringBack || BringDatabaseBack(rman, settings);
}
