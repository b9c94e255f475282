// The steps that the jobs ask of Recovery Manager, built on the console and the command table.
//
// Each returns false with the reason in the console's error text (GetErrorText).
#pragma once

#include "rman/BackupDescription.h"
#include "rman/OracleSettings.h"
#include "rman/RmanCommands.h"
#include "rman/RmanWrapper.h"

#include <string>
#include <vector>

// Sends the commands of the table on one console with one job's settings.
class RmanCommandRunner {
public:
    RmanCommandRunner(RmanWrapper& rman, const OracleSettings& settings)
        : rman_(rman), settings_(settings) {}

    // Sends one command; a failure leaves the command's message in the error text (commands
    // without one leave it as it was). RestoreSpFile and RestoreControlFile name the newest
    // piece in tempFolder made by their template, or the template itself when there is none.
    [[nodiscard]] bool Run(RmanCommand command) const;
    // The same, for a step whose failure the procedure goes on past.
    void Attempt(RmanCommand command) const;
    // Sends the command for a step whose failure the procedure goes on past, without its
    // message: the error text keeps the reason in force (or how Recovery Manager ended).
    void AttemptKeepingErrorText(RmanCommand command) const;
    // Has Recovery Manager copy source into the folder destination with the shell's copy
    // command, going on past a failure ("Host command failed" in the error text).
    void AttemptCopy(const std::wstring& source, const std::wstring& destination) const;

private:
    std::wstring Text(RmanCommand command) const;

    RmanWrapper& rman_;
    const OracleSettings& settings_;
};

// What RunBackup leaves the job beyond its result.
struct BackupRun {
    // What the host should hear of a backup that succeeded: archived logs left out, an online
    // backup without them.
    std::vector<std::wstring> warnings;
    // Streamed (a full backup with pieceSizeMiB above 0): the database backup is still under way
    // on the console (AwaitCommand follows it) and its first database piece has been named; the
    // configuration files are not copied yet (CopyConfigurationFiles, once it has ended).
    bool underWay = false;
    // The pieces named so far (Recovery Manager's paths), in order; the console names the rest.
    std::vector<std::wstring> pieces;
    // Streamed: the bytes of the data files as REPORT SCHEMA gave them (MiB each); 0: unknown.
    unsigned long long dataFileBytes = 0;
};

// Starts and connects the console, then takes the backup of settings.backupKind into
// settings.tempFolder; on success the console stays running and connected for CompleteBackup.
// A full backup: an online backup that fails because the database keeps no archived logs
// (ORA-19602) is taken offline instead, which clears onlineBackup and backupArchiveLog; any other
// failure of an online backup leaves the database open. A database that the connect finds not
// open is backed up offline (onlineBackup cleared); one found down is mounted for it and, with
// shutDownAfterBackup set, shut down again by CompleteBackup or by a failure here. An offline
// backup of a database that keeps no archived logs (ORA-00258) goes on without them
// (backupArchiveLog cleared). A failure after it took the database down brings it back first when
// openAfterBackup is set. With pieceSizeMiB above 0 a full backup is written in pieces of at
// most that size and returns once its first database piece is named (see BackupRun).
// An archived-log backup: every archived log on disk, the current log archived first, and nothing
// else; the database stays as it is. One in NOARCHIVELOG mode (Oracle refuses to archive the
// current log, ORA-00258) fails at once, saying that it has no archived logs to back up.
[[nodiscard]] bool RunBackup(RmanWrapper& rman, OracleSettings& settings, BackupRun& run);
// Has Recovery Manager copy the Oracle configuration files into the job folder, going on past
// a file that is missing.
void CopyConfigurationFiles(RmanWrapper& rman, const OracleSettings& settings);
// Lists what the backup sets of the job's tag hold and puts it into description: the kind and
// tag of the settings, the archived logs per thread (when the backup took logs) and, for a full
// backup, the end of its data file backup (see DatafileBackupEnd). The database's name and DBID
// are left to the caller. False, with the reason in error, when a listing fails or is not
// understood.
[[nodiscard]] bool DescribeBackup(RmanWrapper& rman, const OracleSettings& settings,
                                  BackupDescription& description, std::wstring& error);
struct LogRelease {
    unsigned long long released = 0;    // logs that Recovery Manager deleted
    std::vector<std::wstring> refusals; // per thread, what stayed and why
};
// Deletes from disk, thread by thread, the archived logs of description that are backed up at
// least once, by sequence range, never by force (the deletion policy of the database holds).
LogRelease ReleaseArchivedLogs(RmanWrapper& rman, const BackupDescription& description);
// Brings the database back once a full backup has been written: shut down again with
// shutDownAfterBackup, else reopened after an offline backup when openAfterBackup is set. False,
// with the reason in the error text, only when that step was due and failed (Recovery Manager
// refused it or no longer runs).
[[nodiscard]] bool BringDatabaseBack(RmanWrapper& rman, const OracleSettings& settings);
// Crosscheck (the records of pieces whose files are gone become EXPIRED) and deletion of the
// tagged backups (which removes EXPIRED records too), then BringDatabaseBack unless the job has
// done it (bringBack false). False as BringDatabaseBack.
[[nodiscard]] bool CompleteBackup(RmanWrapper& rman, const OracleSettings& settings,
                                  bool bringBack = true);

enum class RestoreOutcome {
    Restored, // the database is open again, or left mounted as openAfterRestore asks
    Failed,   // in Recovery Manager: the folder's pieces stay for another attempt
    Refused,  // before anything changed, for a reason that another attempt cannot mend
};
// What a restore knows of its stream before Recovery Manager runs.
struct RestoreStream {
    BackupKind kind = BackupKind::Full;
    std::wstring dbName;    // as the pieces name the database
    bool described = false; // the stream carries its description (streams made before do not)
    BackupDescription description;
};
// Starts and connects the console, then restores the stream of settings.tempFolder. A stream of
// another database than the target (settings.dbid or stream.dbName against what the connect
// reports; for a target without a control file the name is read from a reconnect once the
// instance is started) is refused before anything changes.
// A full stream: mounts (restoring the control file from the stream first when the database
// cannot mount, or when the stream is older than the target's last RESETLOGS), catalogues
// settings.tempFolder, restores, recovers (to the settings' point, refused before anything
// runs when the description shows it lies before the stream's earliest point) and opens.
// An archived-log stream: only onto a database that a restore left mounted (an open one, or
// one not mounted, is refused untouched); catalogues the folder and recovers.
// With openAfterRestore clear the database stays mounted once its recovery reached the end of
// the stream or the point. Restored only when the database is open again or left mounted so; a
// database left mounted otherwise fails with the reason (a gap in the logs: which sequence is
// needed; a point past the stream's logs: the last point they cover; a point before the
// earliest: that point; when every fallback fails: the first failure's reason). The folder's
// pieces stay on disk unless the job succeeded. firstAttempt false: an earlier attempt
// catalogued the folder, so the records of the tag are not deleted before cataloguing (that
// would delete the folder's pieces).
[[nodiscard]] RestoreOutcome RunRestore(RmanWrapper& rman, const OracleSettings& settings,
                                        const RestoreStream& stream, bool firstAttempt = true);
