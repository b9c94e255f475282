#include "rman/BackupDescription.h"

#include "virid/Strings.h"

#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

using VIRid::strings::ParseDecimal;

const wchar_t kKind[] = L"kind";
const wchar_t kDatabase[] = L"database";
const wchar_t kDbid[] = L"DBID";
const wchar_t kTag[] = L"tag";
const wchar_t kBackupEnd[] = L"datafile backup end SCN";
const wchar_t kThread[] = L"thread ";

// "A-B" of two numbers.
bool ReadRange(const std::wstring& text, unsigned long long& first, unsigned long long& last) {
    const size_t dash = text.find(L'-');
    return dash != text.npos && ParseDecimal(text.substr(0, dash), first) &&
           ParseDecimal(text.substr(dash + 1), last) && first <= last;
}

// text without prefix, when it starts with it.
bool After(const std::wstring& text, const std::wstring& prefix, std::wstring& rest) {
    if (text.compare(0, prefix.size(), prefix) != 0)
        return false;
    rest = text.substr(prefix.size());
    return true;
}

bool ReadThreadLogs(const std::wstring& key, const std::wstring& value, ThreadLogs& logs) {
    const size_t scnAt = value.find(L", SCN ");
    const size_t timeAt = value.find(L", time ");
    std::wstring sequences, times;
    if (scnAt == value.npos || timeAt == value.npos || timeAt < scnAt ||
        !After(value.substr(0, scnAt), L"sequences ", sequences) ||
        !After(value.substr(timeAt), L", time ", times))
        return false;
    const size_t timesSplit = times.find(L" - ");
    logs.lowTime = times.substr(0, timesSplit);
    logs.nextTime = timesSplit == times.npos ? L"" : times.substr(timesSplit + 3);
    return ParseDecimal(key.substr(std::wcslen(kThread)), logs.thread) &&
           ReadRange(sequences, logs.firstSequence, logs.lastSequence) &&
           ReadRange(value.substr(scnAt + 6, timeAt - scnAt - 6), logs.lowScn, logs.nextScn) &&
           !logs.lowTime.empty() && !logs.nextTime.empty();
}

// A text field given once, not empty.
bool SetOnce(std::wstring& field, const std::wstring& value) {
    if (!field.empty() || value.empty())
        return false;
    field = value;
    return true;
}

// Takes one "key: value" line; false when it is not one or its value does not fit its key.
bool ReadLine(const std::wstring& line, BackupDescription& description, bool& kindFound) {
    const size_t colon = line.find(L": ");
    if (colon == line.npos || colon == 0)
        return false;
    const std::wstring key = line.substr(0, colon);
    const std::wstring value = line.substr(colon + 2);
    unsigned long long number = 0;
    if (key == kKind) {
        const bool repeated = kindFound;
        kindFound = ParseBackupKind(value, description.kind);
        return kindFound && !repeated;
    }
    if (key == kDatabase)
        return SetOnce(description.dbName, value);
    if (key == kTag)
        return SetOnce(description.tag, value);
    if (key == kDbid)
        return ParseDecimal(value, number) && SetOnce(description.dbid, value);
    if (key == kBackupEnd)
        return description.datafileBackupEnd == 0 &&
               ParseDecimal(value, description.datafileBackupEnd);
    if (key.compare(0, std::wcslen(kThread), kThread) != 0)
        return true; // a key of a later version
    ThreadLogs logs;
    if (!ReadThreadLogs(key, value, logs))
        return false;
    for (const ThreadLogs& known : description.threads)
        if (known.thread == logs.thread)
            return false;
    description.threads.push_back(logs);
    return true;
}

} // namespace

bool ThreadLogs::operator==(const ThreadLogs& other) const {
    return thread == other.thread && firstSequence == other.firstSequence &&
           lastSequence == other.lastSequence && lowScn == other.lowScn &&
           nextScn == other.nextScn && lowTime == other.lowTime && nextTime == other.nextTime;
}

bool BackupDescription::operator==(const BackupDescription& other) const {
    return kind == other.kind && dbName == other.dbName && dbid == other.dbid && tag == other.tag &&
           datafileBackupEnd == other.datafileBackupEnd && threads == other.threads;
}

const wchar_t* BackupKindName(BackupKind kind) {
    return kind == BackupKind::ArchivedLogs ? L"archivelog" : L"full";
}

bool ParseBackupKind(const std::wstring& name, BackupKind& kind) {
    for (const BackupKind candidate : {BackupKind::Full, BackupKind::ArchivedLogs})
        if (name == BackupKindName(candidate)) {
            kind = candidate;
            return true;
        }
    return false;
}

std::wstring DescribeThreadLogs(const ThreadLogs& logs) {
    return L"sequences " + std::to_wstring(logs.firstSequence) + L"-" +
           std::to_wstring(logs.lastSequence) + L", SCN " + std::to_wstring(logs.lowScn) + L"-" +
           std::to_wstring(logs.nextScn) + L", time " + logs.lowTime + L" - " + logs.nextTime;
}

std::string FormatBackupDescription(const BackupDescription& description) {
    std::wstring text = std::wstring(kKind) + L": " + BackupKindName(description.kind) + L"\n" +
                        kDatabase + L": " + description.dbName + L"\n" + kDbid + L": " +
                        description.dbid + L"\n" + kTag + L": " + description.tag + L"\n";
    if (description.datafileBackupEnd != 0)
        text += std::wstring(kBackupEnd) + L": " + std::to_wstring(description.datafileBackupEnd) +
                L"\n";
    for (const ThreadLogs& logs : description.threads)
        text += kThread + std::to_wstring(logs.thread) + L": " + DescribeThreadLogs(logs) + L"\n";
    return VIRid::strings::WstrToUTF8(text);
}

bool ParseBackupDescription(const std::string& text, BackupDescription& description,
                            std::wstring& error) {
    BackupDescription parsed;
    bool kindFound = false;
    std::wistringstream lines(VIRid::strings::UTF8toWstr(text));
    std::wstring line;
    for (unsigned number = 1; std::getline(lines, line); ++number) {
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        if (!line.empty() && !ReadLine(line, parsed, kindFound)) {
            error = L"line " + std::to_wstring(number) + L" is malformed: '" + line + L"'";
            return false;
        }
    }
    if (!kindFound || parsed.dbName.empty() || parsed.dbid.empty()) {
        error = L"it does not name the kind, database and DBID";
        return false;
    }
    description = parsed;
    return true;
}

bool WriteBackupDescription(const std::wstring& folder, const BackupDescription& description,
                            std::wstring& error) {
    const std::filesystem::path path = std::filesystem::path(folder) / kBackupDescriptionName;
    const std::string text = FormatBackupDescription(description);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file.write(text.data(), static_cast<std::streamsize>(text.size())) && file.flush())
        return true;
    error = L"Can't write the backup description '" + path.wstring() + L"'";
    return false;
}

DescriptionFound ReadBackupDescription(const std::wstring& folder, BackupDescription& description,
                                       std::wstring& error) {
    const std::filesystem::path path = std::filesystem::path(folder) / kBackupDescriptionName;
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored))
        return DescriptionFound::No;
    std::ifstream file(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    if (!file.good() && !file.eof()) {
        error = L"Can't read the backup description '" + path.wstring() + L"'";
        return DescriptionFound::Unreadable;
    }
    std::wstring reason;
    if (!ParseBackupDescription(text, description, reason)) {
        error = L"The backup description '" + std::wstring(kBackupDescriptionName) +
                L"' is malformed: " + reason;
        return DescriptionFound::Unreadable;
    }
    return DescriptionFound::Yes;
}
