// Tests that own Oracle's registration in the test machine's registry: every test starts with
// no SOFTWARE\ORACLE key and no service key whose name begins with "OracleService" in any letter
// case, and removes the keys it wrote.
#pragma once

#include "tools/simdb/Registry.h"
#include "virid/Strings.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

class OracleRegistryTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }

    void Reset() {
        simoracle::DeleteRegistryKey(simoracle::kOracleKey);
        // Key names compare without case in the registry, so a lower-case "oracleservice" key
        // would be the same key as one a test means to create.
        for (const std::wstring& name : simoracle::RegistrySubKeys(simoracle::kServicesKey))
            if (VIRid::strings::to_upper(name).compare(0, 13, L"ORACLESERVICE") == 0)
                simoracle::DeleteRegistryKey(ServiceKey(name));
    }

    // A subkey of SOFTWARE\ORACLE with the home's values; a null value is left out.
    void AddHome(const std::wstring& subkey, const wchar_t* homeName,
                 const wchar_t* homeDirectory) {
        AddKey(std::wstring(simoracle::kOracleKey) + L"\\" + subkey,
               {{L"ORACLE_HOME_NAME", homeName}, {L"ORACLE_HOME", homeDirectory}});
    }

    // A service key with its command line; a null one is left out.
    void AddService(const std::wstring& serviceName, const wchar_t* imagePath) {
        AddKey(ServiceKey(serviceName), {{L"ImagePath", imagePath}});
    }

private:
    static std::wstring ServiceKey(const std::wstring& name) {
        return std::wstring(simoracle::kServicesKey) + L"\\" + name;
    }
    void AddKey(const std::wstring& path,
                std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> values) {
        // The default value creates the key even when it holds no other.
        ASSERT_TRUE(simoracle::WriteRegistryString(path, L"", L"")) << "cannot write the registry";
        for (const auto& value : values)
            ASSERT_TRUE(!value.second ||
                        simoracle::WriteRegistryString(path, value.first, value.second));
    }
};
