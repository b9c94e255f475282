// The host's settings source: KEY=VALUE pairs from the command line and from settings files.
#pragma once

#include "plugin/PluginContract.h"

#include <map>
#include <string>

class HostSettings : public PluginSettingsSource {
public:
    bool GetValue(const wchar_t* key, std::wstring* value) override;

    // "KEY=VALUE"; false when there is no "=" or the key is empty. A later value replaces an
    // earlier one.
    bool Add(const std::wstring& assignment);
    // One KEY=VALUE a line (UTF-8); blank lines and lines starting with "#" are skipped. False
    // with a reason when the file cannot be read or a line is malformed.
    bool AddFile(const std::wstring& path, std::wstring& error);

private:
    std::map<std::wstring, std::wstring> values_;
};
