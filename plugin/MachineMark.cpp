#include "plugin/MachineMark.h"

#include "virid/Sha256.h"
#include "virid/Strings.h"

namespace {

// A kernel object's name holds no backslash and has a length limit: the key is named by its
// digest.
std::wstring MarkName(const std::wstring& key) {
    const std::string bytes = VIRid::strings::WstrToUTF8(key);
    const std::string hex = VIRid::ToHex(
        VIRid::Sha256Of(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
    return L"OraclePluginJob." + std::wstring(hex.begin(), hex.end());
}

// The named mutex serves as a mark: whoever creates it holds the name until its last handle is
// closed, also when the process ends without closing it. Ownership is not used, since it
// belongs to a thread and a job may be closed on another thread than it was opened on.
HANDLE CreateMark(const std::wstring& name) {
    HANDLE mark = CreateMutexW(nullptr, FALSE, name.c_str());
    if (mark != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mark);
        SetLastError(ERROR_ALREADY_EXISTS);
        return nullptr;
    }
    return mark;
}

} // namespace

std::shared_ptr<MachineMark> MachineMark::Acquire(const std::wstring& key, bool& busy) {
    busy = false;
    const std::wstring name = MarkName(key);
    // Machine-wide, so that a service's jobs and a user's see each other; a process without the
    // right to create global objects falls back to its session's.
    HANDLE mark = CreateMark(L"Global\\" + name);
    if (mark == nullptr && GetLastError() == ERROR_ACCESS_DENIED)
        mark = CreateMark(L"Local\\" + name);
    if (mark == nullptr) {
        busy = GetLastError() == ERROR_ALREADY_EXISTS;
        return nullptr;
    }
    return std::shared_ptr<MachineMark>(new MachineMark(mark));
}
