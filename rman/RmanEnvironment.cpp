#include "rman/RmanEnvironment.h"

#include <algorithm>
#include <cwctype>

namespace {

// The name of a "NAME=value" entry in upper case. Entries that start with "=" (the current
// folders of the drives) keep that "=" as part of their name.
std::wstring UpperName(const std::wstring& entry) {
    const size_t equals = entry.find(L'=', 1);
    std::wstring name = entry.substr(0, equals);
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return name;
}

} // namespace

std::wstring EnvironmentBlock(const std::vector<std::wstring>& current,
                              const EnvironmentOverrides& overrides) {
    std::vector<std::wstring> entries;
    for (const std::wstring& entry : current) {
        const std::wstring name = UpperName(entry);
        const bool replaced =
            std::any_of(overrides.begin(), overrides.end(),
                        [&](const auto& variable) { return UpperName(variable.first) == name; });
        if (!entry.empty() && !replaced)
            entries.push_back(entry);
    }
    for (const auto& variable : overrides)
        entries.push_back(variable.first + L"=" + variable.second);
    // Windows expects the block sorted; names are compared as the system compares them.
    std::stable_sort(
        entries.begin(), entries.end(),
        [](const std::wstring& a, const std::wstring& b) { return UpperName(a) < UpperName(b); });
    std::wstring block;
    for (const std::wstring& entry : entries)
        block += entry + L'\0';
    block += L'\0';
    return block;
}
