#include "plugin/InstanceLock.h"

#include "virid/FileSystem.h"
#include "virid/Strings.h"

std::shared_ptr<MachineMark> AcquireInstanceMark(const std::wstring& homeDir,
                                                 const std::wstring& sid, bool& busy) {
    busy = false;
    std::wstring home = VIRid::filesystem::FullPathName(homeDir);
    while (!home.empty() && (home.back() == L'\\' || home.back() == L'/'))
        home.pop_back();
    if (home.empty())
        return nullptr;
    return MachineMark::Acquire(L"instance\n" + VIRid::strings::to_upper(home) + L"\n" +
                                    VIRid::strings::to_upper(sid),
                                busy);
}
