#include "rman/FolderFiles.h"
#include "rman/RmanProcedures.h"
#include "virid/FormatString.h"

namespace {

const wchar_t kCannotMount[] = L"Can't mount database for restoring data";
// Oracle's answer to a start without a parameter file.
const wchar_t kNoParameterFile[] = L"LRM-00109";

bool FolderHolds(const OracleSettings& settings, const std::wstring& fileNameTemplate) {
    return !NewestFileWithExtension(ListFolderFiles(settings.tempFolder),
                                    TemplateExtension(fileNameTemplate))
                .empty();
}

// Brings a database that cannot mount (its control file, or its parameter file too, is lost) to
// the point where it can: the parameter file from the backup when the backup's DBID is known and
// it holds one, then the control file. False, with the reason, when it cannot even start.
bool RecoverControlFile(RmanWrapper& rman, const OracleSettings& settings) {
    const RmanCommandRunner commands(rman, settings);
    const bool lostParameterFile = rman.FailedWith(kNoParameterFile);
    const bool hasSpFilePiece = FolderHolds(settings, settings.spFileFormat);
    if (lostParameterFile && (!hasSpFilePiece || settings.dbid.empty())) {
        // Nothing here could start the instance: it is left down, as it was; the failed mount
        // had started a stand-in instance.
        commands.Attempt(RmanCommand::ShutdownImmediate);
        rman.Fail(std::wstring(kCannotMount) +
                  L" (the instance has no parameter file and the backup holds none to restore)");
        return false;
    }
    if (!settings.dbid.empty() && hasSpFilePiece) {
        commands.Attempt(RmanCommand::SetDbid);
        commands.Attempt(RmanCommand::StartupForceNomount);
        commands.Attempt(RmanCommand::RestoreSpFile);
    }
    commands.Attempt(RmanCommand::ShutdownImmediate);
    commands.Attempt(RmanCommand::StartupForceNomount);
    commands.Attempt(RmanCommand::RestoreControlFile);
    commands.Attempt(RmanCommand::ShutdownImmediate);
    return true;
}

} // namespace

RestoreOutcome RunRestore(RmanWrapper& rman, const OracleSettings& settings, bool firstAttempt) {
    if (!rman.Start(settings) || !rman.Connect(settings))
        return RestoreOutcome::Failed;
    const RmanCommandRunner commands(rman, settings);

    // A backup of another database would replace this one, or fail half-way with the target
    // already down: it is refused while the target is untouched.
    const std::wstring targetDbid = rman.TargetDbid();
    if (!settings.dbid.empty() && !targetDbid.empty() && settings.dbid != targetDbid) {
        rman.Fail(FormatString(L"The backup belongs to another database (DBID %s), not to the "
                               L"target (DBID %s); the target was not touched",
                               settings.dbid.c_str(), targetDbid.c_str()));
        return RestoreOutcome::Refused;
    }

    commands.Attempt(RmanCommand::ShutdownImmediate);
    if (!commands.Run(RmanCommand::StartupMount)) {
        if (!settings.backupSPFile) {
            rman.Fail(kCannotMount);
            return RestoreOutcome::Failed;
        }
        if (!RecoverControlFile(rman, settings))
            return RestoreOutcome::Failed;
    }
    if (!commands.Run(RmanCommand::StartupMount)) {
        rman.Fail(kCannotMount);
        return RestoreOutcome::Failed;
    }

    // Records of earlier pieces under the same tag would compete with the folder's. Deleting
    // them deletes their files too: after a failed attempt those are this folder's own pieces,
    // which the next attempt needs.
    commands.Attempt(RmanCommand::CrosscheckBackups);
    if (firstAttempt)
        commands.Attempt(RmanCommand::DeleteTaggedBackups);
    if (!commands.Run(RmanCommand::CatalogTempFolder) ||
        !commands.Run(RmanCommand::RestoreDatabaseByTag))
        return RestoreOutcome::Failed;
    if (settings.backupArchiveLog)
        commands.Attempt(RmanCommand::RestoreArchiveLogs);

    // Done only when the database is open again: a restored database left mounted is a failure
    // the DBA must hear of, with the open's message. The folder's pieces are deleted with their
    // records only then, so that a failed open leaves them for another attempt.
    bool opened = false;
    if (commands.Run(RmanCommand::RecoverDatabase)) {
        opened = commands.Run(RmanCommand::OpenDatabase) ||
                 commands.Run(RmanCommand::OpenDatabaseResetLogs);
    } else {
        commands.Attempt(RmanCommand::RecoverUntilFirstLog);
        opened = commands.Run(RmanCommand::OpenDatabaseResetLogs);
    }
    if (opened) {
        commands.Attempt(RmanCommand::CrosscheckBackups);
        commands.Attempt(RmanCommand::DeleteTaggedBackups);
    }
    return opened ? RestoreOutcome::Restored : RestoreOutcome::Failed;
}
