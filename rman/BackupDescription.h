// What a backup stream holds, told by one small text file that the backup puts into the stream,
// just before its manifest: the kind of backup, the database, the tag of its pieces and, per redo
// thread, the archived logs it carries, as Recovery Manager listed them.
//
// The file is UTF-8, one "key: value" line each:
//   kind: full                        (or archivelog)
//   database: ORCL
//   DBID: 1234567890
//   tag: ZT_BACKUP_TAG
//   datafile backup end SCN: 1946270  (full streams whose data file checkpoints were listed)
//   thread 1: sequences 589-590, SCN 1945561-1946270,
//             time 2014-04-17 12:51:43 - 2014-04-17 13:04:14  (one line)
// Readers ignore keys they do not know, so that later versions can add some.
#pragma once

#include "rman/OracleSettings.h"

#include <string>
#include <vector>

// The file's name: no piece template makes it, and no Oracle file bears it.
inline constexpr wchar_t kBackupDescriptionName[] = L"BACKUP-DESCRIPTION.txt";

// The archived logs of one redo thread in a stream: the first and last log sequence, the lowest
// SCN and the highest Next SCN they cover (the redo of the logs lies at and above the one, below
// the other), and the times of both as Recovery Manager printed them.
struct ThreadLogs {
    unsigned long long thread = 0;
    unsigned long long firstSequence = 0;
    unsigned long long lastSequence = 0;
    unsigned long long lowScn = 0;
    unsigned long long nextScn = 0;
    std::wstring lowTime;
    std::wstring nextTime;

    bool operator==(const ThreadLogs& other) const;
};

struct BackupDescription {
    BackupKind kind = BackupKind::Full;
    std::wstring dbName;
    std::wstring dbid;
    std::wstring tag; // the tag that the stream's pieces carry
    // Of a full stream: the earliest SCN at which a restore of it can stop (see
    // DatafileBackupEnd); 0 when not known.
    unsigned long long datafileBackupEnd = 0;
    std::vector<ThreadLogs> threads; // in ascending order of thread

    bool operator==(const BackupDescription& other) const;
};

// "full" or "archivelog", as the description and the BackupType setting name the kinds.
const wchar_t* BackupKindName(BackupKind kind);
// The kind a name stands for; false when it names none (compared exactly).
bool ParseBackupKind(const std::wstring& name, BackupKind& kind);

// The thread's line value: "sequences A-B, SCN X-Y, time T1 - T2".
std::wstring DescribeThreadLogs(const ThreadLogs& logs);
// The file's text, UTF-8, lines ended by a line feed.
std::string FormatBackupDescription(const BackupDescription& description);
// False, with the line at fault in error, when a line is not "key: value", a known key's value
// is malformed or repeated, or the kind, database or DBID is missing. Line ends may be CR LF.
[[nodiscard]] bool ParseBackupDescription(const std::string& text, BackupDescription& description,
                                          std::wstring& error);

// Writes the file into folder; false, with a text naming the file, when that fails.
[[nodiscard]] bool WriteBackupDescription(const std::wstring& folder,
                                          const BackupDescription& description,
                                          std::wstring& error);
enum class DescriptionFound { Yes, No, Unreadable };
// Reads the file of folder: No when there is none (a stream made before descriptions, or by
// hand); Unreadable, with the reason in error, when it cannot be read or parsed.
DescriptionFound ReadBackupDescription(const std::wstring& folder, BackupDescription& description,
                                       std::wstring& error);
