// Reading what Recovery Manager's LIST BACKUP OF ARCHIVELOG and LIST BACKUP OF DATABASE print,
// into the facts of a backup description. Pure functions.
//
// Each backup set's table follows its header line and a line of dashes:
//   Thrd Seq     Low SCN    Low Time            Next SCN   Next Time
//   ---- ------- ---------- ------------------- ---------- -------------------
//   1    589     1945561    2014-04-17 12:51:43 1946270    2014-04-17 13:04:14
// and for data files (release 12.2 on; earlier ones lack the last columns but Name)
//   File LV Type Ckp SCN    Ckp Time            Abs Fuz SCN Sparse Name
//   ---- -- ---- ---------- ------------------- ----------- ------ ----
//   1       Full 1972677    2020-05-24 10:15:33              NO    C:\ORADATA\SYSTEM01.DBF
// Dates must be in the format the console gives Recovery Manager, YYYY-MM-DD HH24:MI:SS: a date in
// another form is refused rather than taken without its time. A table ends at a blank line or at
// a line that does not start with a number.
#pragma once

#include "rman/BackupDescription.h"

#include <string>
#include <vector>

// One row of a data file table.
struct ListedDataFile {
    unsigned long long file = 0;
    unsigned long long checkpointScn = 0;
    std::wstring checkpointTime;
};

// The rows of every archived-log table in output, in order, each as the logs of its thread from
// its sequence to the same. False, with the row in error, when a row of a table is not of the
// form above.
[[nodiscard]] bool ParseListedLogs(const std::wstring& output, std::vector<ThreadLogs>& logs,
                                   std::wstring& error);
// The same for the data file tables.
[[nodiscard]] bool ParseListedDataFiles(const std::wstring& output,
                                        std::vector<ListedDataFile>& files, std::wstring& error);

// One row of LIST INCARNATION's table:
//   DB Key  Inc Key DB Name  DB ID            STATUS  Reset SCN  Reset Time
//   ------- ------- -------- ---------------- --- ---------- ----------
//   1       2       ORCL     1234567890       CURRENT 1946271    2014-04-17 13:05:02
struct ListedIncarnation {
    unsigned long long key = 0;
    std::wstring status; // CURRENT, PARENT or ORPHAN
    unsigned long long resetScn = 0;
    std::wstring resetTime; // empty when not in the console's format
};
[[nodiscard]] bool ParseListedIncarnations(const std::wstring& output,
                                           std::vector<ListedIncarnation>& incarnations,
                                           std::wstring& error);

// The logs per thread, in ascending order of thread: the lowest and highest sequence, the lowest
// Low SCN and highest Next SCN, the earliest Low Time and latest Next Time.
std::vector<ThreadLogs> LogsByThread(const std::vector<ThreadLogs>& logs);

// The earliest SCN at which a restore of a full backup can stop, which the data files' copies
// make consistent: the highest checkpoint SCN of the data files, unless redo was written while
// they were copied (an online backup). Then the copies are fuzzy until the redo of the backup is
// applied, and the point is the end of the log that was current during the copy: among the
// threads whose last log ends after that checkpoint (an instance that was shut down wrote none),
// the lowest Next SCN of their last logs, which the stream's logs reach in every thread. The
// log list must be that of the same backup (its "plus archivelog" part archives the current log
// after the data files). 0 without data files.
unsigned long long DatafileBackupEnd(const std::vector<ListedDataFile>& files,
                                     const std::vector<ThreadLogs>& threads);
