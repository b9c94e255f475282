// Writing a restore job's stream, and closing a job of either direction.
#include "plugin/FormatString.h"
#include "plugin/PluginImplementation.h"
#include "rman/RmanWrapper.h"
#include "virid/FileSystem.h"

namespace {

// Used when the packer gives no reason of its own.
const wchar_t kStreamNotReadToEnd[] =
    L"The backup stream was not read to its end; the backup is incomplete";
const wchar_t kStreamIncomplete[] =
    L"The backup stream is incomplete or damaged; the database was not restored";

} // namespace

int32_t PluginImplementation::Write(const unsigned char* buffer, uint32_t& size,
                                    const uint32_t& handle) {
    const std::map<uint32_t, JobRecord>::iterator job = jobs.find(handle);
    if (job == jobs.end())
        return Failure;
    return MapPackerResult(job->second.packer.Write(buffer, size));
}

int32_t PluginImplementation::Close(const uint32_t& handle) {
    const std::map<uint32_t, JobRecord>::iterator found = jobs.find(handle);
    if (found == jobs.end())
        return Failure;
    JobRecord& job = found->second;

    int32_t result = Success;
    const int packerResult = job.packer.Close();
    if (packerResult != VIRid::DirPacker::Ok) {
        const std::wstring reason = job.packer.GetErrorText();
        Report(LogError,
               !reason.empty() ? reason : (job.isBackup ? kStreamNotReadToEnd : kStreamIncomplete));
        result = Failure;
    }
    if (job.isBackup) {
        // Runs whatever the packer answered: a database that the backup took offline must be
        // opened again even when the host stopped reading early.
        job.rman->CompleteBackup();
    } else if (result == Success) {
        Report(LogProgress, L"Restore database...");
        if (!job.rman->RunRestore(job.settings.get())) {
            // The job and its folder stay, so that the host can close it again.
            Report(LogError, job.rman->GetErrorText());
            return Failure;
        }
    }
    // A restore whose stream was incomplete never reaches Recovery Manager; its partial folder
    // is of no use and goes like any other.
    DeleteJobTempFolder(job.settings->tempFolder);
    jobs.erase(found);
    return result;
}

void PluginImplementation::DeleteJobTempFolder(const std::wstring& path) {
    if (!VIRid::filesystem::DeleteNonEmptyFolder(path))
        Report(LogWarning, FormatString(L"Can't delete temp directory '%s'", path.c_str()));
}
