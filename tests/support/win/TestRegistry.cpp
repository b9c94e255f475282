#include "tests/support/win/TestRegistry.h"

#include "tools/simdb/Registry.h"

#include <gtest/gtest.h>

namespace testing_support {

void SetRegistryString(const std::wstring& keyPath, const std::wstring& valueName,
                       const std::wstring& value) {
    // An empty name writes the key's default value, which creates the key as well.
    ASSERT_TRUE(simoracle::WriteRegistryString(keyPath, valueName, value))
        << "cannot write the test's registry key";
}

void DeleteRegistryTree(const std::wstring& keyPath) { simoracle::DeleteRegistryKey(keyPath); }

} // namespace testing_support
