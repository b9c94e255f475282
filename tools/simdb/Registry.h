// The few registry operations of the simulated installation (HKEY_LOCAL_MACHINE, 64-bit view).
#pragma once

#include <string>
#include <vector>

namespace simoracle {

bool WriteRegistryString(const std::wstring& keyPath, const std::wstring& name,
                         const std::wstring& value);
bool ReadRegistryString(const std::wstring& keyPath, const std::wstring& name, std::wstring& value);
std::vector<std::wstring> RegistrySubKeys(const std::wstring& keyPath);
// Removes the key with everything under it; true also when it is absent.
bool DeleteRegistryKey(const std::wstring& keyPath);

extern const wchar_t kOracleKey[];   // SOFTWARE\ORACLE
extern const wchar_t kServicesKey[]; // SYSTEM\CurrentControlSet\Services

} // namespace simoracle
