#include "rman/RecoverySteps.h"

#include "rman/RecoveryPoint.h"
#include "virid/FormatString.h"

namespace {

const ThreadLogs* LogsOfThread(const RestoreStream& stream, unsigned long long thread) {
    if (!stream.described)
        return nullptr;
    for (const ThreadLogs& logs : stream.description.threads)
        if (logs.thread == thread)
            return &logs;
    return nullptr;
}

bool OpenRecovered(const RmanCommandRunner& commands, const OracleSettings& settings) {
    // After a recovery to a point only RESETLOGS opens.
    if (HasRecoveryPoint(settings))
        return commands.Run(RmanCommand::OpenDatabaseResetLogs);
    return commands.Run(RmanCommand::OpenDatabase) ||
           commands.Run(RmanCommand::OpenDatabaseResetLogs);
}

// After a failed recovery: true when the job may still end as asked (the recovery reached the
// end of the stream's logs, which a restore that leaves the database mounted expects, or the
// database opened after all); false with the reason otherwise.
bool FinishFailedRecovery(RmanWrapper& rman, const RmanCommandRunner& commands,
                          const OracleSettings& settings, const RestoreStream& stream) {
    const std::wstring firstFailure = rman.GetErrorText();
    const std::wstring point = DescribeRecoveryPoint(settings);
    unsigned long long thread = 0;
    unsigned long long sequence = 0;
    const bool logsEnded = rman_output::RequestedArchivedLog(rman.FailureLines(), thread, sequence);
    if (logsEnded) {
        const ThreadLogs* logs = LogsOfThread(stream, thread);
        if (logs != nullptr && sequence < logs->firstSequence) {
            rman.Fail(FormatString(
                L"Recovery needs archived log sequence %I64u of thread %I64u next, but this "
                L"stream's logs of that thread begin at sequence %I64u: restore the stream that "
                L"holds sequence %I64u first, then this one again; the database stays mounted",
                sequence, thread, logs->firstSequence, sequence));
            return false;
        }
        // The recovery went as far as the logs go: where the chain goes on, that is all.
        if (!settings.openAfterRestore)
            return true;
        if (!point.empty()) {
            const StreamPoint latest =
                stream.described ? LatestPoint(stream.description) : StreamPoint();
            const std::wstring last =
                latest.scn != 0 ? L" (" + DescribeStreamPoint(latest) + L")" : std::wstring();
            rman.Fail(FormatString(
                L"The point %s lies past the last point that the restored streams cover%s: the "
                L"database was recovered as far as they go and stays mounted; restore the next "
                L"archived-log stream with the same point, or this stream again with "
                L"OpenAfterRestore=yes and no point to open the database where the logs end",
                point.c_str(), last.c_str()));
            return false;
        }
    } else if (!point.empty() && rman.FailedWith(L"RMAN-06556")) {
        const StreamPoint earliest =
            stream.described ? EarliestPoint(stream.description) : StreamPoint();
        const std::wstring allowed =
            earliest.scn != 0 ? L", " + DescribeStreamPoint(earliest) : std::wstring();
        rman.Fail(FormatString(L"The point %s lies before the earliest point that this stream "
                               L"allows%s (the end of its data file backup); the database stays "
                               L"mounted",
                               point.c_str(), allowed.c_str()));
        return false;
    }
    // An incomplete recovery as far as it goes, and an open with RESETLOGS.
    commands.AttemptKeepingErrorText(RmanCommand::RecoverUntilFirstLog);
    if (commands.Run(RmanCommand::OpenDatabaseResetLogs))
        return true;
    // The end of the logs is where every recovery from a backup control file stops: the open's
    // reason is the cause then. Otherwise the recovery's own failure is.
    if (!logsEnded)
        rman.SetErrorText(firstFailure + L"; the database could not be opened and stays mounted");
    return false;
}

} // namespace

bool CatalogJobFolder(RmanWrapper& rman, const OracleSettings& settings, bool firstAttempt) {
    const RmanCommandRunner commands(rman, settings);
    commands.Attempt(RmanCommand::CrosscheckBackups);
    if (firstAttempt)
        commands.Attempt(RmanCommand::DeleteTaggedBackups);
    return commands.Run(RmanCommand::CatalogTempFolder);
}

RestoreOutcome RecoverAndOpen(RmanWrapper& rman, const OracleSettings& settings,
                              const RestoreStream& stream) {
    const RmanCommandRunner commands(rman, settings);
    // Done only when the database is as the settings ask: a restored database left mounted
    // against them is a failure the DBA must hear of. The folder's pieces are deleted with their
    // records only then, so that a failure leaves them for another attempt.
    const bool done = commands.Run(RmanCommand::RecoverDatabase)
                          ? !settings.openAfterRestore || OpenRecovered(commands, settings)
                          : FinishFailedRecovery(rman, commands, settings, stream);
    if (done) {
        commands.Attempt(RmanCommand::CrosscheckBackups);
        commands.Attempt(RmanCommand::DeleteTaggedBackups);
    }
    return done ? RestoreOutcome::Restored : RestoreOutcome::Failed;
}

RestoreOutcome RestoreArchivedLogStream(RmanWrapper& rman, const OracleSettings& settings,
                                        const RestoreStream& stream, bool firstAttempt) {
    const rman_output::TargetState state = rman.TargetState();
    if (state != rman_output::TargetState::Mounted) {
        rman.SetErrorText(FormatString(
            L"The stream holds archived logs only: they recover a database that the restore of a "
            L"full stream with OpenAfterRestore=no left mounted, but the target database is %s. "
            L"Restore the full stream first, with OpenAfterRestore=no, then the archived-log "
            L"streams in order; the target was not touched",
            state == rman_output::TargetState::Open ? L"open" : L"not mounted"));
        return RestoreOutcome::Refused;
    }
    if (!CatalogJobFolder(rman, settings, firstAttempt))
        return RestoreOutcome::Failed;
    return RecoverAndOpen(rman, settings, stream);
}
