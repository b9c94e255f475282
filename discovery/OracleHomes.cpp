#include "discovery/OracleHomes.h"

#include "discovery/RegistryValue.h"

namespace {
const wchar_t kOracleKey[] = L"SOFTWARE\\ORACLE";
const std::wstring kHomeKeyPrefix = L"KEY_";
} // namespace

OracleHomeTable GetOracleHomes() {
    OracleHomeTable homes;
    VIRid::system::CRegistry registry(HKEY_LOCAL_MACHINE);
    for (const std::wstring& subkey : registry.EnumSubKeys(kOracleKey)) {
        if (subkey.compare(0, kHomeKeyPrefix.size(), kHomeKeyPrefix) != 0)
            continue;
        const std::wstring keyPath = std::wstring(kOracleKey) + L"\\" + subkey;
        std::wstring name;
        std::wstring directory;
        if (!ReadRegistryValue(registry, keyPath, L"ORACLE_HOME_NAME", name) ||
            !ReadRegistryValue(registry, keyPath, L"ORACLE_HOME", directory))
            continue;
        // emplace keeps the entry met first when a name is registered twice.
        homes.emplace(name, directory);
    }
    return homes;
}
