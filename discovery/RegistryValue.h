// Reading one string value of one registry key, the way discovery reads Oracle's registration.
#pragma once

#include "virid/Registry.h"

#include <string>

// Opens keyPath, reads the string value valueName into value and closes the key again. False
// when the key cannot be opened or the value cannot be read; value is then not to be used.
inline bool ReadRegistryValue(VIRid::system::CRegistry& registry, const std::wstring& keyPath,
                              const wchar_t* valueName, std::wstring& value) {
    if (!registry.Open(keyPath.c_str()))
        return false;
    const bool read = registry.Read(valueName, value);
    registry.Close();
    return read;
}
