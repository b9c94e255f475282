// The backup direction: the dump when the job opens, the stream that the host reads, and the
// closing steps.
#include "plugin/BackupFolder.h"
#include "plugin/PluginImplementation.h"
#include "rman/RmanProcedures.h"
#include "virid/FormatString.h"

namespace {

// Used when the packer gives no reason of its own.
const wchar_t kStreamNotReadToEnd[] =
    L"The backup stream was not read to its end; the backup is incomplete";

} // namespace

int32_t PluginImplementation::StartBackupJob(JobRecord& job) {
    const bool full = job.settings->backupKind == BackupKind::Full;
    Report(LogProgress, full ? L"Dump database..." : L"Dump archived logs...");
    std::vector<std::wstring> warnings;
    if (!RunBackup(*job.rman, *job.settings, warnings)) {
        Report(LogError, job.rman->GetErrorText());
        return Failure;
    }
    for (const std::wstring& warning : warnings)
        Report(LogWarning, warning);
    // A dump that cannot be streamed fails the job with its reason. The database goes back to
    // the state it had (whatever the closing steps answer, the reason stays the dump's); the
    // job's folder goes when Open fails.
    const auto failUnstreamed = [&](const std::wstring& reason) {
        Report(LogError, reason);
        static_cast<void>(CompleteBackup(*job.rman, *job.settings));
        return Failure;
    };
    // A dump that left no piece of its kind would stream a backup that restores nothing.
    BackupPieces pieces;
    std::wstring error;
    if (!ReadBackupFolder(*job.settings, job.settings->backupKind, pieces, error))
        return failUnstreamed(FormatString(
            L"%s: %s; nothing was streamed",
            full ? L"Backup database failed" : L"Backup archived logs failed", error.c_str()));
    // The stream says what it holds, in Recovery Manager's words; the pieces' names carry the
    // database's. Its pieces are whole without it: a stream that cannot say it is still
    // streamed, with a warning, as one made before descriptions (and no log is released after
    // it unless the listing was read).
    job.description.dbName = pieces.dbName;
    job.description.dbid = pieces.dbid;
    if (!DescribeBackup(*job.rman, *job.settings, job.description, error) ||
        !WriteBackupDescription(job.settings->tempFolder, job.description, error))
        Report(LogWarning, L"The backup stream will not say what it holds: " + error);
    Report(LogProgress, L"Transfer dump files...");
    if (job.packer.Open(job.settings->tempFolder, true, {kBackupDescriptionName}) !=
        VIRid::DirPacker::Ok)
        return failUnstreamed(job.packer.GetErrorText());
    return Success;
}

int32_t PluginImplementation::Read(unsigned char* buffer, uint32_t& size, const uint32_t& handle) {
    const std::map<uint32_t, JobRecord>::iterator job = jobs.find(handle);
    if (job == jobs.end())
        return Failure;
    return MapPackerResult(job->second.packer.Read(buffer, size));
}

int32_t PluginImplementation::CloseBackupJob(JobRecord& job, int packerResult) {
    int32_t result = Success;
    if (packerResult != VIRid::DirPacker::Ok) {
        const std::wstring reason = job.packer.GetErrorText();
        Report(LogError, !reason.empty() ? reason : kStreamNotReadToEnd);
        result = Failure;
    } else if (job.settings->deleteArchivedLogs && !job.description.threads.empty()) {
        // The host holds the whole stream: the logs it carries may go, while the job's backup
        // records still count them as backed up.
        const LogRelease release = ReleaseArchivedLogs(*job.rman, job.description);
        for (const std::wstring& refusal : release.refusals)
            Report(LogWarning, refusal);
        Report(LogProgress, FormatString(L"Released %I64u archived logs that the stream holds",
                                         release.released));
    }
    // Runs whatever the packer answered: a database that the backup took offline must be opened
    // again even when the host stopped reading early.
    if (!RestoreDatabaseState(job))
        result = Failure;
    return result;
}

bool PluginImplementation::RestoreDatabaseState(JobRecord& job) {
    if (CompleteBackup(*job.rman, *job.settings))
        return true;
    Report(LogError,
           FormatString(L"The database could not be %s again after the offline backup (%s); the "
                        L"backup stream itself is complete",
                        job.settings->shutDownAfterBackup ? L"shut down" : L"opened",
                        job.rman->GetErrorText().c_str()));
    return false;
}
