// The job folder: made under WSTempPath for each job, removed when the job ends; folders that
// jobs which ended without closing left behind, removed at the next Open.
//
// A job holds a machine-wide mark on its folder's full name from before the folder exists until
// it is removed: the folders that no mark holds belong to no running job, in any process.
#include "plugin/JobPaths.h"
#include "plugin/PluginImplementation.h"
#include "virid/FileSystem.h"
#include "virid/FormatString.h"
#include "virid/Strings.h"
#include "virid/SystemError.h"
#include "virid/Win32Handles.h"

#include <windows.h>

#include <ctime>
#include <filesystem>
#include <fstream>

namespace {

const wchar_t kTempFolderError[] = L"Can't create temp folder. Please, check workstation setting";
// The note in a folder kept for a manual restore; its presence marks the folder to stay.
const wchar_t kKeptNote[] = L"KEPT-FOR-MANUAL-RESTORE.txt";

std::shared_ptr<MachineMark> AcquireFolderMark(const std::wstring& folder, bool& busy) {
    return MachineMark::Acquire(L"folder\n" + VIRid::strings::to_upper(folder), busy);
}

// WSTempPath in its full form, with a separator at its end; empty when it names no absolute
// folder.
std::wstring JobFolderPrefix(const std::wstring& workstationTempPath) {
    if (!IsAbsoluteFolderPrefix(workstationTempPath))
        return std::wstring();
    const std::wstring prefix = VIRid::filesystem::FullPathName(workstationTempPath);
    if (prefix.empty() || prefix.back() == L'\\')
        return prefix;
    return prefix + L"\\";
}

} // namespace

bool PluginImplementation::CreateJobTempFolder(Job& job, std::wstring& error) {
    const std::wstring prefix = JobFolderPrefix(workstationTempPath);
    if (prefix.empty()) {
        error = FormatString(L"%s: WSTempPath '%s' names no absolute folder (a drive letter or a "
                             L"UNC path)",
                             kTempFolderError, workstationTempPath.c_str());
        return false;
    }
    for (;;) {
        const std::wstring folder = JobFolderName(prefix, _time64(nullptr));
        // A folder of this second already exists, or another job is making it: wait for the
        // clock to move on.
        if (VIRid::filesystem::IsFolderExists(folder.c_str()))
            continue;
        bool busy = false;
        job.folderMark = AcquireFolderMark(folder, busy);
        if (busy)
            continue;
        if (job.folderMark && CreateDirectoryW(folder.c_str(), nullptr)) {
            job.settings->tempFolder = folder;
            return true;
        }
        const DWORD reason = job.folderMark ? GetLastError() : ERROR_ACCESS_DENIED;
        job.folderMark.reset();
        // Made between the test and the creation, by someone who took no mark.
        if (reason == ERROR_ALREADY_EXISTS)
            continue;
        error = FormatString(L"%s: '%s': %s", kTempFolderError, folder.c_str(),
                             VIRid::system::ErrorText(reason).c_str());
        return false;
    }
}

void PluginImplementation::RemoveLeftoverJobFolders() {
    const std::wstring prefix = JobFolderPrefix(workstationTempPath);
    if (prefix.empty())
        return;
    WIN32_FIND_DATAW entry;
    VIRid::UniqueFindHandle find(FindFirstFileW((prefix + L"*").c_str(), &entry));
    if (!find)
        return;
    const int64_t now = _time64(nullptr);
    do {
        int64_t made = 0;
        // Only what a job makes: a folder, not a link, named by JobFolderName.
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
            (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
            !ParseJobFolderName(entry.cFileName, made))
            continue;
        const std::wstring folder = prefix + entry.cFileName;
        bool busy = false;
        const std::shared_ptr<MachineMark> mark = AcquireFolderMark(folder, busy);
        if (!mark)
            continue; // a running job's
        if (VIRid::filesystem::IsFileExists((folder + L"\\" + kKeptNote).c_str())) {
            Report(LogWarning, FormatString(L"The folder '%s' holds an unpacked backup kept for a "
                                            L"manual restore %s ago; remove it when it is no "
                                            L"longer needed",
                                            folder.c_str(), FormatAge(now - made).c_str()));
            continue;
        }
        if (DeleteJobTempFolder(folder))
            Report(LogWarning, FormatString(L"Removed the folder '%s' that an earlier job left "
                                            L"behind (it ended without being closed)",
                                            folder.c_str()));
    } while (FindNextFileW(find.get(), &entry));
}

void PluginImplementation::KeepForManualRestore(const Job& job) {
    std::ofstream note(std::filesystem::path(job.settings->tempFolder + L"\\" + kKeptNote));
    note << "This folder holds the unpacked backup stream of a restore of instance "
         << VIRid::strings::WstrToUTF8(job.settings->oracleSid)
         << " that failed in Recovery Manager. It is kept for a manual restore and stays until "
            "it is removed by hand.\r\n";
}

bool PluginImplementation::DeleteJobTempFolder(const std::wstring& path) {
    if (VIRid::filesystem::DeleteNonEmptyFolder(path))
        return true;
    Report(LogWarning, FormatString(L"Can't delete temp directory '%s'", path.c_str()));
    return false;
}
