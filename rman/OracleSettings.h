// Everything a job needs to talk to Oracle. The plug-in object keeps one record as the template
// built from the host's settings; each job works on a copy that it completes with the Oracle
// home, the SID and its job folder.
#pragma once

#include <string>

// What a backup job takes: the database (with what the flags add to it), or the archived logs
// alone.
enum class BackupKind { Full, ArchivedLogs };

struct OracleSettings {
    bool onlineBackup;      // back up while the database stays open
    bool backupSPFile;      // also back up the server parameter file
    bool backupControlFile; // also back up the control file
    bool useCompression;    // compressed backup sets
    bool backupArchiveLog;  // include the archived redo logs
    bool openAfterBackup;   // reopen a database that an offline backup left mounted
    std::wstring userName;
    std::wstring password;
    std::wstring tempFolder; // the job folder; empty in the template
    // File-name patterns of the backup pieces, without folder. Their % variables are Recovery
    // Manager's own and are never expanded here.
    std::wstring controlFileFormat;
    std::wstring spFileFormat;
    std::wstring archiveLogFormat;
    std::wstring backupPieceFormat;
    std::wstring oracleHome;
    std::wstring dbid;
    std::wstring oracleSid;
    std::wstring connectIdentifier; // net service name, used when oracleSid is empty
    std::wstring backupTag;
    // How long Recovery Manager may stay silent (no output, no growing file in tempFolder)
    // before it is stopped; 0: as long as it takes.
    double rmanTimeoutMinutes = 0;
    // The backup found the database down and started it: its closing steps shut it down again.
    bool shutDownAfterBackup = false;
    BackupKind backupKind;
    // Once the host holds the whole stream, the archived logs it carries are deleted from disk.
    bool deleteArchivedLogs;
    // A restore opens the database once recovered; false leaves it mounted for the archived-log
    // streams that follow.
    bool openAfterRestore = true;
    // Where a restore's recovery stops (exclusive): an SCN (0: none) or a time in the database's
    // own clock, YYYY-MM-DD HH:MM:SS (empty: none). At most one of them is set.
    unsigned long long recoverUntilScn = 0;
    std::wstring recoverUntilTime;
    // A full backup is written in pieces of at most this many MiB, each streamed as soon as it
    // is complete; 0: the whole backup is written before the stream starts.
    unsigned long long pieceSizeMiB = 1024;

    OracleSettings();

    // oracleHome followed by "\bin\rman.exe".
    std::wstring GetRmanPath() const;
};
