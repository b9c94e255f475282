#include "plugin/JobPaths.h"

#include "plugin/ItemNames.h"
#include "virid/FormatString.h"
#include "virid/Strings.h"

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

std::wstring JobBackupTag(const std::wstring& jobFolder) {
    int64_t seconds = 0;
    if (!ParseJobFolderName(jobFolder.substr(jobFolder.find_last_of(L"\\/") + 1), seconds))
        return kSharedBackupTag;
    return FormatString(L"%s_%I64d", kSharedBackupTag, seconds);
}

bool ParseJobFolderName(const std::wstring& name, int64_t& secondsSince1970) {
    const std::wstring extension = L".ora";
    // Up to 18 digits: any such number fits.
    if (name.size() <= extension.size() || name.size() > extension.size() + 18)
        return false;
    const size_t digits = name.size() - extension.size();
    for (size_t i = 0; i < extension.size(); ++i)
        if (VIRid::strings::AsciiLower(name[digits + i]) != extension[i])
            return false;
    int64_t seconds = 0;
    for (size_t i = 0; i < digits; ++i) {
        if (name[i] < L'0' || name[i] > L'9')
            return false;
        seconds = seconds * 10 + (name[i] - L'0');
    }
    secondsSince1970 = seconds;
    return true;
}

std::wstring FormatAge(int64_t seconds) {
    static const struct {
        int64_t seconds;
        const wchar_t* one;
        const wchar_t* many;
    } kUnits[] = {{86400, L"day", L"days"},
                  {3600, L"hour", L"hours"},
                  {60, L"minute", L"minutes"},
                  {1, L"second", L"seconds"}};
    seconds = seconds < 0 ? 0 : seconds;
    for (const auto& unit : kUnits) {
        const int64_t count = seconds / unit.seconds;
        if (count > 0 || unit.seconds == 1)
            return FormatString(L"%I64d %s", count, count == 1 ? unit.one : unit.many);
    }
    return std::wstring();
}
