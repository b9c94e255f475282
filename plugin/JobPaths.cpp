#include "plugin/JobPaths.h"

#include "plugin/ItemNames.h"
#include "virid/FormatString.h"

bool SplitInstancePath(const std::wstring& itemPath, std::wstring& homeName, std::wstring& sid) {
    const size_t separator = itemPath.find(L'\\');
    if (separator == std::wstring::npos)
        return false;
    const std::wstring unescapedSid = UnescapeItemName(itemPath.substr(separator + 1));
    for (const wchar_t c : unescapedSid)
        if (c < L' ' || c == 0x7F || c == L'\'' || c == L'"')
            return false;
    homeName = UnescapeItemName(itemPath.substr(0, separator));
    sid = unescapedSid;
    return true;
}

bool IsAbsoluteFolderPrefix(const std::wstring& prefix) {
    const auto isSeparator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    if (prefix.size() >= 3 &&
        ((prefix[0] >= L'A' && prefix[0] <= L'Z') || (prefix[0] >= L'a' && prefix[0] <= L'z')))
        return prefix[1] == L':' && isSeparator(prefix[2]);
    return prefix.size() >= 3 && isSeparator(prefix[0]) && isSeparator(prefix[1]) &&
           !isSeparator(prefix[2]);
}

std::wstring JobFolderName(const std::wstring& prefix, int64_t secondsSince1970) {
    return FormatString(L"%s%I64d.ora", prefix.c_str(), secondsSince1970);
}
