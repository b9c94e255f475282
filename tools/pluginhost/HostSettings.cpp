#include "tools/pluginhost/HostSettings.h"

#include "virid/FormatString.h"
#include "virid/Strings.h"

#include <cstdio>

bool HostSettings::GetValue(const wchar_t* key, std::wstring* value) {
    const auto found = values_.find(key);
    if (found == values_.end())
        return false;
    *value = found->second;
    return true;
}

bool HostSettings::Add(const std::wstring& assignment) {
    const size_t equals = assignment.find(L'=');
    if (equals == std::wstring::npos || equals == 0)
        return false;
    values_[assignment.substr(0, equals)] = assignment.substr(equals + 1);
    return true;
}

bool HostSettings::AddFile(const std::wstring& path, std::wstring& error) {
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) {
        error = FormatString(L"cannot read the settings file '%s'", path.c_str());
        return false;
    }
    std::string content;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        content.append(buffer, got);
    std::fclose(file);

    const std::wstring text = VIRid::strings::UTF8toWstr(content);
    int lineNumber = 0;
    for (const std::wstring& line : VIRid::strings::SplitLines(text)) {
        ++lineNumber;
        if (line.empty() || line[0] == L'#')
            continue;
        if (!Add(line)) {
            error = FormatString(L"%s, line %d: expected KEY=VALUE", path.c_str(), lineNumber);
            return false;
        }
    }
    return true;
}
