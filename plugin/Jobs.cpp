// The steps of opening and closing that both directions share, and the job table.
#include "discovery/OracleHomes.h"
#include "discovery/OracleInstances.h"
#include "plugin/BackupJob.h"
#include "plugin/InstanceLock.h"
#include "plugin/JobPaths.h"
#include "plugin/PluginImplementation.h"
#include "plugin/RestoreJob.h"
#include "rman/RmanWrapper.h"
#include "virid/FileSystem.h"
#include "virid/FormatString.h"
#include "virid/Strings.h"

namespace {

// Recovery Manager's commands name these paths inside quotes, which a quote of their own would
// end early.
bool HoldsQuote(const std::wstring& path) {
    return path.find_first_of(L"'\"") != std::wstring::npos;
}

// A service of the home names the SID, compared without regard to case as Windows compares
// service names. A registered service whose database files are gone is an instance all the same:
// a restore rebuilds it.
bool IsInstanceOf(const std::wstring& homeName, const std::wstring& sid) {
    const std::wstring wanted = VIRid::strings::to_upper(sid);
    for (const auto& instance : GetOracleInstances(homeName))
        if (!sid.empty() && VIRid::strings::to_upper(instance.first) == wanted)
            return true;
    return false;
}

} // namespace

int32_t Job::MapPackerResult(int packerResult) {
    if (packerResult == VIRid::DirPacker::Ok)
        return Success;
    if (packerResult == VIRid::DirPacker::EndOfStream)
        return EndOfData;
    return Failure;
}

int32_t Job::Read(unsigned char* buffer, uint32_t& size) {
    return MapPackerResult(packer.Read(buffer, size));
}

int32_t Job::Write(const unsigned char* buffer, uint32_t& size) {
    return MapPackerResult(packer.Write(buffer, size));
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
    if (home == homes.end() || !IsInstanceOf(homeName, sid))
        return UnknownItem;

    // A malformed setting, or a backup setting of no known value, stops the job before anything
    // runs.
    const std::wstring& settingsRefusal = !settingsError.empty() ? settingsError
                                          : direction == 0       ? backupSettingsError
                                                                 : restoreSettingsError;
    if (!settingsRefusal.empty()) {
        Report(LogError, settingsRefusal);
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

    std::unique_ptr<Job> created;
    if (direction == 0)
        created.reset(new BackupJob(*this));
    else
        created.reset(new RestoreJob(*this));
    Job& job = *created;
    bool busy = false;
    job.instanceMark = AcquireInstanceMark(home->second, sid, busy);
    if (!job.instanceMark) {
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
    RemoveLeftoverJobFolders();
    std::wstring error;
    if (!CreateJobTempFolder(job, error)) {
        Report(LogError, error);
        return Failure;
    }
    job.settings->backupTag = JobBackupTag(job.settings->tempFolder);
    job.rman.reset(new RmanWrapper(this, ReportRmanOutput));
    const int32_t started = job.Start();
    if (started != Success) {
        // Nothing stays of a job that did not open: Recovery Manager ends (it may still hold a
        // piece open), then the folder goes with whatever it wrote.
        job.rman.reset();
        DeleteJobTempFolder(job.settings->tempFolder);
        return started;
    }

    ++jobCounter;
    jobs.insert(std::make_pair(jobCounter, std::move(created)));
    handle = jobCounter;
    return Success;
}

int32_t PluginImplementation::Read(unsigned char* buffer, uint32_t& size, const uint32_t& handle) {
    const auto job = jobs.find(handle);
    return job == jobs.end() ? Failure : job->second->Read(buffer, size);
}

int32_t PluginImplementation::Write(const unsigned char* buffer, uint32_t& size,
                                    const uint32_t& handle) {
    const auto job = jobs.find(handle);
    return job == jobs.end() ? Failure : job->second->Write(buffer, size);
}

int32_t PluginImplementation::Close(const uint32_t& handle) {
    const auto found = jobs.find(handle);
    if (found == jobs.end())
        return Failure;
    Job& job = *found->second;
    bool keepJob = false;
    const int32_t result = job.Close(keepJob);
    if (!keepJob) {
        DeleteJobTempFolder(job.settings->tempFolder);
        jobs.erase(found);
    }
    return result;
}

void PluginImplementation::CloseOpenJobs() {
    while (!jobs.empty()) {
        Job& job = *jobs.begin()->second;
        const std::wstring done = job.CloseAtRelease();
        const bool removed = DeleteJobTempFolder(job.settings->tempFolder);
        Report(LogWarning,
               FormatString(L"The %s job of instance '%s' was still open when the plug-in object "
                            L"was released; it was closed: %s; its folder '%s' %s",
                            job.IsBackup() ? L"backup" : L"restore",
                            job.settings->oracleSid.c_str(), done.c_str(),
                            job.settings->tempFolder.c_str(),
                            removed ? L"was removed" : L"could not be removed"));
        jobs.erase(jobs.begin());
    }
}
