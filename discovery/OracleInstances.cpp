#include "discovery/OracleInstances.h"

#include "discovery/OracleHomes.h"
#include "discovery/RegistryValue.h"
#include "virid/Strings.h"

namespace {
const wchar_t kServicesKey[] = L"SYSTEM\\CurrentControlSet\\Services";
const std::wstring kInstanceServicePrefix = L"OracleService";
} // namespace

OracleInstanceTable GetOracleInstances(const std::wstring& homeName) {
    OracleInstanceTable instances;
    const OracleHomeTable homes = GetOracleHomes();
    const auto home = homes.find(homeName);
    if (home == homes.end())
        return instances;
    const std::wstring homeDirectory = VIRid::strings::to_upper(home->second);

    VIRid::system::CRegistry registry(HKEY_LOCAL_MACHINE);
    for (const std::wstring& subkey : registry.EnumSubKeys(kServicesKey)) {
        if (subkey.compare(0, kInstanceServicePrefix.size(), kInstanceServicePrefix) != 0)
            continue;
        std::wstring imagePath;
        if (!ReadRegistryValue(registry, std::wstring(kServicesKey) + L"\\" + subkey, L"ImagePath",
                               imagePath))
            continue;
        // The command line's last word is the SID; a command line without one is no instance.
        const size_t lastSpace = imagePath.rfind(L' ');
        if (lastSpace == std::wstring::npos)
            continue;
        if (VIRid::strings::to_upper(imagePath).find(homeDirectory) == std::wstring::npos)
            continue;
        // emplace keeps the service met first when two name the same SID.
        instances.emplace(imagePath.substr(lastSpace + 1), imagePath);
    }
    return instances;
}
