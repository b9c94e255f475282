// Writing registry keys for tests (HKEY_LOCAL_MACHINE, 64-bit view).
#pragma once

#include <string>

namespace testing_support {

// Creates the key (and its parents) and sets a string value; an empty valueName sets the
// key's default value.
void SetRegistryString(const std::wstring& keyPath, const std::wstring& valueName,
                       const std::wstring& value);
// Removes the key and everything below it; nothing when it is absent.
void DeleteRegistryTree(const std::wstring& keyPath);

} // namespace testing_support
