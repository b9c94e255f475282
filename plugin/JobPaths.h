// Item paths and job folder names of the backup and restore jobs.
#pragma once

#include <cstdint>
#include <string>

// An instance's item path: the escaped home name, "\" and the escaped SID. Splits at the first
// backslash and unescapes both parts; false when there is no backslash, or when the SID holds a
// control character or a quote: the SID goes into Recovery Manager's command lines, where a line
// break would start a command of its own and a quote would end a quoted path early.
bool SplitInstancePath(const std::wstring& itemPath, std::wstring& homeName, std::wstring& sid);

// A job folder prefix must name a place unambiguously: a drive-letter path ("C:\...") or a UNC
// path ("\\server\share..."). An empty or relative prefix would put the job folders wherever
// the host process happens to run.
bool IsAbsoluteFolderPrefix(const std::wstring& prefix);

// prefix + seconds + ".ora".
std::wstring JobFolderName(const std::wstring& prefix, int64_t secondsSince1970);
// The name (without folder) is one that JobFolderName makes: decimal digits, then ".ora" in any
// case. secondsSince1970 receives the number.
bool ParseJobFolderName(const std::wstring& name, int64_t& secondsSince1970);
// The tag of a job's backup pieces: "ZT_BACKUP_TAG_" and the seconds of its folder's name (a
// name that JobFolderName makes), unique among the jobs of an instance, which run one at a time,
// and within Recovery Manager's 30 characters. The plain "ZT_BACKUP_TAG" for any other folder.
std::wstring JobBackupTag(const std::wstring& jobFolder);
// The tag that every job's pieces carried before each job had its own.
inline constexpr wchar_t kSharedBackupTag[] = L"ZT_BACKUP_TAG";
// An age in seconds as a person reads it, in its largest whole unit: "3 days", "1 hour",
// "12 minutes", "0 seconds" (a negative age counts as 0).
std::wstring FormatAge(int64_t seconds);
