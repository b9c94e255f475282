#include "virid/Registry.h"

#include <vector>

namespace VIRid {
namespace system {

namespace {
const REGSAM kReadAccess = KEY_READ | KEY_WOW64_64KEY;
}

CRegistry::CRegistry(HKEY root) : root_(root) {}

CRegistry::~CRegistry() {}

std::list<std::wstring> CRegistry::EnumSubKeys(const wchar_t* path) {
    std::list<std::wstring> names;
    UniqueRegistryKey key;
    if (RegOpenKeyExW(root_, path, 0, kReadAccess, key.receive()) != ERROR_SUCCESS)
        return names;
    DWORD longestName = 0;
    if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, &longestName, nullptr,
                         nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return names;
    // Key names are at most 255 characters; the query gives the current longest.
    std::vector<wchar_t> name(static_cast<size_t>(longestName) + 256);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        const LONG status = RegEnumKeyExW(key.get(), index, name.data(), &length, nullptr, nullptr,
                                          nullptr, nullptr);
        if (status != ERROR_SUCCESS)
            break;
        names.push_back(std::wstring(name.data(), length));
    }
    return names;
}

bool CRegistry::Open(const wchar_t* path) {
    return RegOpenKeyExW(root_, path, 0, kReadAccess, openKey_.receive()) == ERROR_SUCCESS;
}

bool CRegistry::Read(const wchar_t* valueName, std::wstring& value) {
    if (!openKey_)
        return false;
    const DWORD flags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    // The value may grow between the size query and the read; try again then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD bytes = 0;
        if (RegGetValueW(openKey_.get(), nullptr, valueName, flags, nullptr, nullptr, &bytes) !=
            ERROR_SUCCESS)
            return false;
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1);
        bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        const LONG status =
            RegGetValueW(openKey_.get(), nullptr, valueName, flags, nullptr, buffer.data(), &bytes);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            return false;
        buffer.back() = L'\0';
        value.assign(buffer.data());
        return true;
    }
    return false;
}

void CRegistry::Close() {
    openKey_.reset();
}

} // namespace system
} // namespace VIRid
