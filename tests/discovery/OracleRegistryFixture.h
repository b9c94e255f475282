// Tests that own Oracle's registration in the test machine's registry: every test starts with
// no SOFTWARE\ORACLE key and no service key whose name begins with "OracleService" in any letter
// case, and removes the keys it wrote.
#pragma once

#include "tests/support/win/TestRegistry.h"
#include "virid/Registry.h"
#include "virid/Strings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

const std::wstring kOracleKey = L"SOFTWARE\\ORACLE";
const std::wstring kServicesKey = L"SYSTEM\\CurrentControlSet\\Services";

class OracleRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::DeleteRegistryTree(kOracleKey);
        // Key names compare without case in the registry, so a lower-case "oracleservice" key
        // would be the same key as one a test means to create.
        VIRid::system::CRegistry registry(HKEY_LOCAL_MACHINE);
        for (const std::wstring& name : registry.EnumSubKeys(kServicesKey.c_str()))
            if (VIRid::strings::to_upper(name).compare(0, 13, L"ORACLESERVICE") == 0)
                testing_support::DeleteRegistryTree(kServicesKey + L"\\" + name);
    }

    void TearDown() override {
        for (const std::wstring& key : created_)
            testing_support::DeleteRegistryTree(key);
        // SetUp removed SOFTWARE\ORACLE, so the test created it; only an empty one goes.
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kOracleKey.c_str(), KEY_WOW64_64KEY, 0);
    }

    // A subkey of SOFTWARE\ORACLE with the given values; an empty text leaves a value out.
    void AddOracleKey(const std::wstring& subkey, const std::wstring& homeName,
                      const std::wstring& homeDirectory) {
        const std::wstring path = kOracleKey + L"\\" + subkey;
        created_.push_back(path);
        testing_support::SetRegistryString(path, L"", L"");
        if (!homeName.empty())
            testing_support::SetRegistryString(path, L"ORACLE_HOME_NAME", homeName);
        if (!homeDirectory.empty())
            testing_support::SetRegistryString(path, L"ORACLE_HOME", homeDirectory);
    }

    // A "KEY_" subkey holding both values, which may be empty.
    void AddHome(const std::wstring& subkey, const std::wstring& homeName,
                 const std::wstring& homeDirectory) {
        const std::wstring path = kOracleKey + L"\\" + subkey;
        created_.push_back(path);
        testing_support::SetRegistryString(path, L"ORACLE_HOME_NAME", homeName);
        testing_support::SetRegistryString(path, L"ORACLE_HOME", homeDirectory);
    }

    // A service key with its command line.
    void AddService(const std::wstring& serviceName, const std::wstring& imagePath) {
        const std::wstring path = kServicesKey + L"\\" + serviceName;
        created_.push_back(path);
        testing_support::SetRegistryString(path, L"ImagePath", imagePath);
    }

    // A service key without any "ImagePath".
    void AddServiceWithoutImagePath(const std::wstring& serviceName) {
        const std::wstring path = kServicesKey + L"\\" + serviceName;
        created_.push_back(path);
        testing_support::SetRegistryString(path, L"", L"");
    }

private:
    std::vector<std::wstring> created_;
};
