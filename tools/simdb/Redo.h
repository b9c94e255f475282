// Redo of a simulated database: the online log and the archived logs, each a small sealed
// record that names the database, its incarnation, the thread and log sequence it holds, the
// span of system change numbers and times it covers, and the changes made within that span.
#pragma once

#include "tools/simdb/ControlFile.h"
#include "tools/simdb/Layout.h"

#include <string>
#include <vector>

namespace simoracle {

// One change of the data: bytes written into a data file at an offset, at an SCN.
struct RedoChange {
    unsigned long long scn = 0;
    std::wstring time;
    unsigned fileNumber = 0;
    unsigned long long offset = 0;
    std::string bytes;
};

struct RedoLog {
    unsigned long long dbid = 0;
    unsigned resetlogsId = 0;
    unsigned thread = 1;
    unsigned sequence = 0;
    unsigned long long lowScn = 0;
    std::wstring lowTime;
    // Where the next log began; 0 and empty while the log is the online one.
    unsigned long long nextScn = 0;
    std::wstring nextTime;
    std::vector<RedoChange> changes; // in SCN order
};

std::string FormatLog(const RedoLog& log);
bool ParseLog(const std::string& bytes, RedoLog& log);
// The archived log of that sequence, when it is on disk and belongs to the database.
bool ReadArchivedLog(const DatabaseFiles& files, const ControlFile& controlFile,
                     unsigned resetlogsId, unsigned sequence, RedoLog& log);
bool ArchivedLogOnDisk(const DatabaseFiles& files, const ControlFile& controlFile,
                       unsigned resetlogsId, unsigned sequence);
// Ends the online log at a new SCN and archives it (in ARCHIVELOG mode) with the changes it
// holds, then moves the database to the next sequence, whose online log begins at that SCN.
// The caller saves the control file.
bool SwitchLog(const DatabaseFiles& files, ControlFile& controlFile);
// Writes an empty online log for the control file's current sequence.
bool WriteOnlineLog(const DatabaseFiles& files, const ControlFile& controlFile);
// Adds the change to the online log.
bool RecordChange(const DatabaseFiles& files, const ControlFile& controlFile,
                  const RedoChange& change);

} // namespace simoracle
