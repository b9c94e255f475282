// The job's temporary folder.
#include "plugin/JobPaths.h"
#include "plugin/PluginImplementation.h"
#include "virid/FileSystem.h"
#include "virid/FormatString.h"

#include <windows.h>

#include <ctime>

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

void PluginImplementation::DeleteJobTempFolder(const std::wstring& path) {
    if (!VIRid::filesystem::DeleteNonEmptyFolder(path))
        Report(LogWarning, FormatString(L"Can't delete temp directory '%s'", path.c_str()));
}
