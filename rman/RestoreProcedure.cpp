#include "rman/BackupListing.h"
#include "rman/FolderFiles.h"
#include "rman/RecoveryPoint.h"
#include "rman/RecoverySteps.h"
#include "rman/RmanProcedures.h"
#include "virid/FormatString.h"
#include "virid/Strings.h"

namespace {

const wchar_t kCannotMount[] = L"Can't mount database for restoring data";
// Oracle's answer to a start without a parameter file.
const wchar_t kNoParameterFile[] = L"LRM-00109";

bool FolderHolds(const OracleSettings& settings, const std::wstring& fileNameTemplate) {
    return !NewestFileWithExtension(ListFolderFiles(settings.tempFolder),
                                    TemplateExtension(fileNameTemplate))
                .empty();
}

// Why the stream must not restore onto the target: it belongs to another database, by the DBID
// or the name that the connect reported. Empty when nothing says so.
std::wstring ForeignStream(const RmanWrapper& rman, const OracleSettings& settings,
                           const RestoreStream& stream) {
    const std::wstring targetDbid = rman.TargetDbid();
    if (!settings.dbid.empty() && !targetDbid.empty() && settings.dbid != targetDbid)
        return FormatString(L"The backup belongs to another database (DBID %s), not to the "
                            L"target (DBID %s); the target was not touched",
                            settings.dbid.c_str(), targetDbid.c_str());
    const std::wstring targetName = rman.TargetName();
    const std::wstring& streamName =
        !stream.dbName.empty() ? stream.dbName : stream.description.dbName;
    // Oracle's database names are case-blind.
    if (!streamName.empty() && !targetName.empty() &&
        VIRid::strings::to_upper(streamName) != VIRid::strings::to_upper(targetName))
        return FormatString(L"The backup belongs to another database (%s), not to the target "
                            L"(%s); the target was not touched",
                            streamName.c_str(), targetName.c_str());
    return std::wstring();
}

// The target's current incarnation began after the stream's data file backup ended: the
// stream predates the target's last RESETLOGS, and the target's control file cannot recover
// it. Asked only of a target with a control file and a stream whose description says where it
// ends.
bool PredatesLastResetlogs(RmanWrapper& rman, const OracleSettings& settings,
                           const RestoreStream& stream, ListedIncarnation& current) {
    if (rman.TargetDbid().empty() || !stream.described ||
        stream.description.datafileBackupEnd == 0 ||
        !rman.ExecuteCommand(RmanCommandText(RmanCommand::ListIncarnations, settings)))
        return false;
    std::vector<ListedIncarnation> incarnations;
    std::wstring error;
    if (!ParseListedIncarnations(rman.CommandOutput(), incarnations, error))
        return false;
    for (const ListedIncarnation& incarnation : incarnations)
        if (incarnation.status == L"CURRENT") {
            current = incarnation;
            return stream.description.datafileBackupEnd < incarnation.resetScn;
        }
    return false;
}

// Restores the control file from the stream into the started instance: from its control-file
// piece, else from the database piece whose backup set includes the control file, each tried
// newest first. True when one was restored.
bool RestoreStreamControlFile(RmanWrapper& rman, const OracleSettings& settings) {
    const std::vector<FolderFile> files = ListFolderFiles(settings.tempFolder);
    std::vector<std::wstring> candidates =
        FilesWithExtensionNewestFirst(files, TemplateExtension(settings.controlFileFormat));
    for (const std::wstring& piece :
         FilesWithExtensionNewestFirst(files, TemplateExtension(settings.backupPieceFormat)))
        candidates.push_back(piece);
    for (const std::wstring& piece : candidates)
        if (rman.ExecuteCommand(
                RmanCommandTextNaming(RmanCommand::RestoreControlFile, settings, piece)))
            return true;
    rman.Fail(RmanCommandFailure(RmanCommand::RestoreControlFile));
    return false;
}

// Brings a database that cannot mount (its control file, or its parameter file too, is lost),
// or whose control file is of a later incarnation than the stream, to where the stream's control
// file mounts: the parameter file from the backup when the backup's DBID is known and it holds
// one, then the control file. False, with the reason, when it cannot even start; restored: a
// control file came from the stream.
bool RecoverControlFile(RmanWrapper& rman, const OracleSettings& settings, bool& restored) {
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
    restored = RestoreStreamControlFile(rman, settings);
    commands.Attempt(RmanCommand::ShutdownImmediate);
    return true;
}

// The instance that a failed mount started is connected afresh: a connect to an instance
// without its database mounted names the database, which the first connect, to an instance
// down, could not. Refused (the instance shut down again, as it was found) when that name is
// another database's.
RestoreOutcome CheckNameOfStartedInstance(RmanWrapper& rman, const OracleSettings& settings,
                                          const RestoreStream& stream) {
    rman.Stop();
    if (!rman.Start(settings) || !rman.Connect(settings))
        return RestoreOutcome::Failed;
    const std::wstring refusal = ForeignStream(rman, settings, stream);
    if (refusal.empty())
        return RestoreOutcome::Restored;
    RmanCommandRunner(rman, settings).Attempt(RmanCommand::ShutdownImmediate);
    rman.SetErrorText(refusal);
    return RestoreOutcome::Refused;
}

} // namespace

RestoreOutcome RunRestore(RmanWrapper& rman, const OracleSettings& settings,
                          const RestoreStream& stream, bool firstAttempt) {
    if (!rman.Start(settings) || !rman.Connect(settings))
        return RestoreOutcome::Failed;
    const RmanCommandRunner commands(rman, settings);

    // A backup of another database would replace this one, or fail half-way with the target
    // already down: it is refused while the target is untouched.
    const std::wstring refusal = ForeignStream(rman, settings, stream);
    if (!refusal.empty()) {
        rman.SetErrorText(refusal);
        return RestoreOutcome::Refused;
    }
    if (stream.kind == BackupKind::ArchivedLogs)
        return RestoreArchivedLogStream(rman, settings, stream, firstAttempt);
    const StreamPoint earliest =
        stream.described ? EarliestPoint(stream.description) : StreamPoint();
    if (earliest.scn != 0 && PointBefore(settings, earliest)) {
        rman.SetErrorText(FormatString(L"The point %s lies before the earliest point that this "
                                       L"stream allows, %s (the end of its data file backup); "
                                       L"the target was not touched",
                                       DescribeRecoveryPoint(settings).c_str(),
                                       DescribeStreamPoint(earliest).c_str()));
        return RestoreOutcome::Refused;
    }
    // A stream older than the target's last RESETLOGS recovers only with its own control file,
    // which knows the incarnation it belongs to.
    ListedIncarnation current;
    const bool predates = PredatesLastResetlogs(rman, settings, stream, current);

    const bool nameKnown = !rman.TargetName().empty();
    commands.Attempt(RmanCommand::ShutdownImmediate);
    if (predates || !commands.Run(RmanCommand::StartupMount)) {
        if (!predates && !nameKnown && !rman.FailedWith(kNoParameterFile)) {
            const RestoreOutcome named = CheckNameOfStartedInstance(rman, settings, stream);
            if (named != RestoreOutcome::Restored)
                return named;
        }
        bool restored = false;
        if (!RecoverControlFile(rman, settings, restored))
            return RestoreOutcome::Failed;
        if (predates && !restored) {
            // The target's own control file would fail the recovery after its data files were
            // replaced: the database is opened again instead, as it was.
            commands.Attempt(RmanCommand::Startup);
            rman.Fail(FormatString(L"The stream is older than the database's last RESETLOGS "
                                   L"(incarnation %I64u, reset at SCN %I64u), and its control "
                                   L"file, which that needs, could not be restored; the database "
                                   L"was started again",
                                   current.key, current.resetScn));
            return RestoreOutcome::Failed;
        }
    }
    if (!commands.Run(RmanCommand::StartupMount)) {
        rman.Fail(kCannotMount);
        return RestoreOutcome::Failed;
    }
    if (!CatalogJobFolder(rman, settings, firstAttempt))
        return RestoreOutcome::Failed;
    // A stream without a description has the tag that every job shared before jobs had their
    // own; one packed by hand from newer pieces has another, which only its pieces know: the
    // newest backup, which the catalogue has just made the folder's, is restored then.
    if (!commands.Run(RmanCommand::RestoreDatabaseByTag) &&
        (stream.described || !rman.FailedWith(L"RMAN-06026") ||
         !commands.Run(RmanCommand::RestoreDatabase)))
        return RestoreOutcome::Failed;
    if (settings.backupArchiveLog)
        commands.Attempt(RmanCommand::RestoreArchiveLogs);
    return RecoverAndOpen(rman, settings, stream);
}
