// The steps of opening and closing that both directions share, and the job table.
#include "discovery/OracleHomes.h"
#include "plugin/JobPaths.h"
#include "plugin/PluginImplementation.h"
#include "rman/RmanWrapper.h"

namespace {

const wchar_t kTempFolderError[] = L"Can't create temp folder. Please, check workstation setting";

} // namespace

int32_t PluginImplementation::MapPackerResult(int packerResult) {
    if (packerResult == VIRid::DirPacker::Ok)
        return Success;
    if (packerResult == VIRid::DirPacker::EndOfStream)
        return EndOfData;
    return Failure;
}

int32_t PluginImplementation::Open(const std::wstring& itemPath, uint32_t direction,
                                   uint32_t& handle) {
    handle = 0;
    std::wstring homeName;
    std::wstring sid;
    if (!SplitInstancePath(itemPath, homeName, sid))
        return UnknownItem;
    // The registry is read afresh: a home may have been added or removed since browsing.
    const OracleHomeTable homes = GetOracleHomes();
    const OracleHomeTable::const_iterator home = homes.find(homeName);
    if (home == homes.end())
        return UnknownItem;

    JobRecord job;
    job.settings.reset(new OracleSettings());
    *job.settings = settings;
    job.settings->oracleHome = home->second;
    job.settings->oracleSid = sid;
    job.settings->tempFolder = CreateJobTempFolder();
    if (job.settings->tempFolder.empty()) {
        Report(LogError, kTempFolderError);
        return Failure;
    }
    job.rman.reset(new RmanWrapper(this, ReportRmanOutput));
    job.isBackup = direction == 0;
    const int32_t started = job.isBackup ? StartBackupJob(job) : StartRestoreJob(job);
    if (started != Success)
        return started;

    ++jobCounter;
    jobs.insert(std::make_pair(jobCounter, job));
    handle = jobCounter;
    return Success;
}

int32_t PluginImplementation::Close(const uint32_t& handle) {
    const std::map<uint32_t, JobRecord>::iterator found = jobs.find(handle);
    if (found == jobs.end())
        return Failure;
    JobRecord& job = found->second;
    const int packerResult = job.packer.Close();
    bool keepJob = false;
    const int32_t result = job.isBackup ? CloseBackupJob(job, packerResult)
                                        : CloseRestoreJob(job, packerResult, keepJob);
    if (!keepJob) {
        DeleteJobTempFolder(job.settings->tempFolder);
        jobs.erase(found);
    }
    return result;
}
