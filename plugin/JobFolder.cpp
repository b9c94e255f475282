// The job folder: made under WSTempPath for each job, removed when the job ends.
#include "plugin/JobPaths.h"
#include "plugin/PluginImplementation.h"
#include "virid/FileSystem.h"
#include "virid/FormatString.h"

#include <windows.h>

#include <ctime>

namespace {

// The prefix as Windows spells it in full: backslashes, no doubled separators, no "." or "..",
// so that the folder made from it can be found and removed again by the same name. The
// separator at its end, if any, stays. Empty when it cannot be made.
std::wstring CanonicalPrefix(const std::wstring& prefix) {
    const DWORD size = GetFullPathNameW(prefix.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return std::wstring();
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(prefix.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size)
        return std::wstring();
    full.resize(length);
    return full;
}

} // namespace

std::wstring PluginImplementation::CreateJobTempFolder() {
    if (!IsAbsoluteFolderPrefix(workstationTempPath))
        return std::wstring();
    const std::wstring prefix = CanonicalPrefix(workstationTempPath);
    if (prefix.empty())
        return std::wstring();
    for (;;) {
        const std::wstring folder = JobFolderName(prefix, _time64(nullptr));
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
