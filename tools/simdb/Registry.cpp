#include "tools/simdb/Registry.h"

#include "virid/Win32Handles.h"

namespace simoracle {

const wchar_t kOracleKey[] = L"SOFTWARE\\ORACLE";
const wchar_t kServicesKey[] = L"SYSTEM\\CurrentControlSet\\Services";

bool WriteRegistryString(const std::wstring& keyPath, const std::wstring& name,
                         const std::wstring& value) {
    VIRid::UniqueRegistryKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, key.receive(),
                        nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExW(
               key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool ReadRegistryString(const std::wstring& keyPath, const std::wstring& name,
                        std::wstring& value) {
    VIRid::UniqueRegistryKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                      key.receive()) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&text[0]),
                         &size) != ERROR_SUCCESS)
        return false;
    text.resize(wcsnlen(text.c_str(), text.size()));
    value = text;
    return true;
}

std::vector<std::wstring> RegistrySubKeys(const std::wstring& keyPath) {
    std::vector<std::wstring> names;
    VIRid::UniqueRegistryKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0,
                      KEY_ENUMERATE_SUB_KEYS | KEY_WOW64_64KEY, key.receive()) != ERROR_SUCCESS)
        return names;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name / sizeof name[0];
        if (RegEnumKeyExW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

bool DeleteRegistryKey(const std::wstring& keyPath) {
    const size_t slash = keyPath.find_last_of(L'\\');
    VIRid::UniqueRegistryKey parent;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.substr(0, slash).c_str(), 0,
                      KEY_ALL_ACCESS | KEY_WOW64_64KEY, parent.receive()) != ERROR_SUCCESS)
        return true;
    const std::wstring leaf = keyPath.substr(slash + 1);
    // With a subkey name, RegDeleteTreeW removes that key itself as well.
    const LONG result = RegDeleteTreeW(parent.get(), leaf.c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

} // namespace simoracle
