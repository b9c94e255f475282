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
    Report(LogProgress, L"Dump database...");
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
    // A dump that left no database piece would stream a backup that restores nothing.
    BackupPieces pieces;
    std::wstring error;
    if (!ReadBackupFolder(*job.settings, pieces, error))
        return failUnstreamed(
            FormatString(L"Backup database failed: %s; nothing was streamed", error.c_str()));
    Report(LogProgress, L"Transfer dump files...");
    if (job.packer.Open(job.settings->tempFolder, true) != VIRid::DirPacker::Ok)
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
