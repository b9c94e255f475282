#include "tests/support/win/TestRegistry.h"

#include "virid/Win32Handles.h"

#include <gtest/gtest.h>

namespace testing_support {

void SetRegistryString(const std::wstring& keyPath, const std::wstring& valueName,
                       const std::wstring& value) {
    VIRid::UniqueRegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, key.receive(), nullptr));
    if (valueName.empty())
        return;
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key.get(), valueName.c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
}

void DeleteRegistryTree(const std::wstring& keyPath) {
    VIRid::UniqueRegistryKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                      key.receive()) != ERROR_SUCCESS)
        return;
    RegDeleteTreeW(key.get(), nullptr);
    key.reset();
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), KEY_WOW64_64KEY, 0);
}

} // namespace testing_support
