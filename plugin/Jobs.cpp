// The steps of opening and closing that both directions share, and the job table.
#include "discovery/OracleHomes.h"
#include "plugin/JobPaths.h"
#include "plugin/PluginImplementation.h"
#include "rman/RmanWrapper.h"
#include "virid/FormatString.h"

namespace {

const wchar_t kTempFolderError[] = L"Can't create temp folder. Please, check workstation setting";

// Recovery Manager's commands name these paths inside quotes, which a quote of their own would
// end early.
bool HoldsQuote(const std::wstring& path) {
    return path.find_first_of(L"'\"") != std::wstring::npos;
}

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

    // A backup setting of no known value stops the job before anything runs.
    if (direction == 0 && !backupSettingsError.empty()) {
        Report(LogError, backupSettingsError);
        return Failure;
    }
    if (HoldsQuote(home->second)) {
        Report(LogError, FormatString(L"The Oracle home's folder holds a quote, which Recovery "
                                      L"Manager's commands cannot carry: %s",
                                      home->second.c_str()));
        return Failure;
    }
    if (HoldsQuote(workstationTempPath)) {
        Report(LogError, FormatString(L"The workstation's temp folder (WSTempPath) holds a quote, "
                                      L"which Recovery Manager's commands cannot carry: %s",
                                      workstationTempPath.c_str()));
        return Failure;
    }

    JobRecord job;
    bool busy = false;
    job.instanceLock = InstanceLock::Acquire(home->second, sid, busy);
    if (!job.instanceLock) {
        Report(LogError,
               FormatString(busy ? L"Can't start the job: another backup or restore job of "
                                   L"instance '%s' is running; try again when it has finished"
                                 : L"Can't start the job: the system refused the mark that keeps "
                                   L"two jobs off instance '%s'",
                            sid.c_str()));
        return Failure;
    }
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
