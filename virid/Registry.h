// Reads the Windows registry below one root key, in the 64-bit view, with read access only.
#pragma once

#include "virid/Win32Handles.h"

#include <list>
#include <string>

namespace VIRid {
namespace system {

class CRegistry {
public:
    explicit CRegistry(HKEY root);
    virtual ~CRegistry();
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;

    // Names (not paths) of the immediate subkeys of path, in the registry's order; empty when
    // the key is absent or cannot be read.
    std::list<std::wstring> EnumSubKeys(const wchar_t* path);

    // Open, Read, Close: one key at a time. Open closes any key opened before.
    [[nodiscard]] bool Open(const wchar_t* path);
    // Reads a string value (REG_SZ, or REG_EXPAND_SZ left unexpanded) of the open key.
    [[nodiscard]] bool Read(const wchar_t* valueName, std::wstring& value);
    void Close();

private:
    HKEY root_;
    UniqueRegistryKey openKey_;
};

} // namespace system
} // namespace VIRid
