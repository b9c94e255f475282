// Opening a job (both directions), reading a backup job's stream, and the job's folder.
#include "discovery/OracleHomes.h"
#include "plugin/JobPaths.h"
#include "plugin/PluginImplementation.h"
#include "rman/RmanWrapper.h"
#include "virid/FileSystem.h"

#include <windows.h>

#include <ctime>

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

    VIRid::DirPacker packer;
    boost::shared_ptr<OracleSettings> jobSettings(new OracleSettings());
    *jobSettings = settings;
    jobSettings->oracleHome = home->second;
    jobSettings->oracleSid = sid;
    jobSettings->tempFolder = CreateJobTempFolder();
    if (jobSettings->tempFolder.empty()) {
        Report(LogError, kTempFolderError);
        return Failure;
    }
    // Declared after the settings, so destroyed before them: the console points at them.
    boost::shared_ptr<RmanWrapper> rman(new RmanWrapper(this, ReportRmanOutput));

    const bool isBackup = direction == 0;
    if (isBackup) {
        Report(LogProgress, L"Dump database...");
        if (!rman->RunBackup(jobSettings.get())) {
            Report(LogError, rman->GetErrorText());
            return Failure;
        }
        Report(LogProgress, L"Transfer dump files...");
        packer.Open(jobSettings->tempFolder, true);
    } else {
        Report(LogProgress, L"Transfer restoration data...");
        packer.Open(jobSettings->tempFolder, false);
    }

    ++jobCounter;
    const JobRecord job = {jobSettings, rman, isBackup, packer};
    jobs.insert(std::make_pair(jobCounter, job));
    handle = jobCounter;
    return Success;
}

int32_t PluginImplementation::Read(unsigned char* buffer, uint32_t& size, const uint32_t& handle) {
    const std::map<uint32_t, JobRecord>::iterator job = jobs.find(handle);
    if (job == jobs.end())
        return Failure;
    return MapPackerResult(job->second.packer.Read(buffer, size));
}

std::wstring PluginImplementation::CreateJobTempFolder() {
    if (!IsAbsoluteFolderPrefix(workstationTempPath))
        return std::wstring();
    for (;;) {
        const std::wstring folder = JobFolderName(workstationTempPath, _time64(nullptr));
        // A folder of this second already exists: wait for the clock to move on.
        if (VIRid::filesystem::IsFolderExists(folder.c_str()))
            continue;
        if (CreateDirectoryW(folder.c_str(), nullptr))
            return folder;
        // Another job (perhaps in another process) took this name between the test and the
        // creation; any other reason is final.
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return std::wstring();
    }
}
