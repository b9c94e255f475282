// The statements of Recovery Manager's grammar as the simulator has read them: each is parsed in
// full (a RUN block with all its statements) before anything of it runs.
#pragma once

#include <string>

namespace rmansim {

// TAG [=] tag and FORMAT [=] 'format' of BACKUP.
struct BackupOptions {
    std::wstring tag; // upper case; empty: a tag made of the date
    std::wstring format;
    bool hasFormat = false; // without: the channel's format, or the default
};

// BACKUP [AS [COMPRESSED] BACKUPSET] {DATABASE | SPFILE | CURRENT CONTROLFILE | ARCHIVELOG ALL}
// [options] [PLUS ARCHIVELOG [options]] (PLUS only after DATABASE).
struct BackupRequest {
    enum class What { Database, SpFile, ControlFile, ArchivedLogs } what = What::Database;
    bool compressed = false;
    BackupOptions options;
    bool plusArchivedLogs = false;
    BackupOptions logOptions;
};

// RESTORE {DATABASE [FROM TAG tag] | ARCHIVELOG ALL | {CONTROLFILE | SPFILE} FROM 'piece'}.
struct RestoreRequest {
    enum class What { Database, ArchivedLogs, ControlFile, SpFile } what = What::Database;
    std::wstring tag;  // empty: the newest backup
    std::wstring path; // taken literally
};

// UNTIL {SEQUENCE | LOGSEQ} n [THREAD n] | UNTIL SCN n | UNTIL TIME 'date', of RECOVER and of
// SET in a RUN block.
struct UntilClause {
    enum class Kind { None, Sequence, Scn, Time } kind = Kind::None;
    unsigned long long number = 0; // the log sequence or the SCN
    std::wstring time;             // as given, between its quotes
};

// STARTUP [FORCE] [NOMOUNT | MOUNT | OPEN] [DBA] [PFILE = 'file'].
struct StartupRequest {
    bool force = false;
    bool nomount = false;
    bool mount = false;
};

// ALTER DATABASE {MOUNT | OPEN [RESETLOGS | NORESETLOGS]}.
struct AlterDatabaseRequest {
    bool open = false; // false: MOUNT
    bool resetLogs = false;
};

// DELETE [NOPROMPT] [EXPIRED] {BACKUP | BACKUPSET} [TAG tag].
struct DeleteRequest {
    bool noPrompt = false;
    bool expiredOnly = false;
    bool byTag = false;
    std::wstring tag;
};

// DELETE [FORCE] [NOPROMPT] ARCHIVELOG {ALL | SEQUENCE [=] n | SEQUENCE BETWEEN n AND m}
// [THREAD [=] n] [BACKED UP n TIMES TO DEVICE TYPE DISK].
struct ArchivedLogDeleteRequest {
    bool force = false;
    bool noPrompt = false;
    unsigned long long firstSequence = 0;
    unsigned long long lastSequence = ~0ULL;
    unsigned long long thread = 0; // 0: every thread
    unsigned long long backedUpTimes = 0;
};

// LIST BACKUP [OF {DATABASE | ARCHIVELOG ALL}] [TAG [=] tag] [SUMMARY], LIST ARCHIVELOG ALL, or
// LIST INCARNATION [OF DATABASE].
struct ListRequest {
    enum class What {
        Backups,
        BackupsOfDatabase,
        BackupsOfArchivedLogs,
        ArchivedLogs,
        Incarnations
    };
    What what = What::Backups;
    std::wstring tag; // upper case; empty: any
};

// SET DBID n, or in a RUN block SET untilClause.
struct SetRequest {
    unsigned long long dbid = 0;
    UntilClause until; // none: SET DBID
};

// A channel that ALLOCATE CHANNEL opens in a RUN block:
// ALLOCATE CHANNEL name {DEVICE TYPE | TYPE} [=] device [MAXPIECESIZE [=] size] [FORMAT [=] 'f'].
struct Channel {
    std::wstring name;                   // as given (quoted or not)
    std::wstring deviceType;             // upper case; only DISK can be allocated
    unsigned long long maxPieceSize = 0; // bytes; 0: no limit
    std::wstring format;                 // empty: none
};

} // namespace rmansim
