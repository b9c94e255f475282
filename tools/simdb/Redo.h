// Redo of a simulated database: the online log and the archived logs, each a small sealed
// record that names the database, its incarnation and the log sequence it holds.
#pragma once

#include "tools/simdb/ControlFile.h"
#include "tools/simdb/Layout.h"

#include <string>

namespace simoracle {

struct LogIdentity {
    unsigned long long dbid = 0;
    unsigned resetlogsId = 0;
    unsigned sequence = 0;
};

std::string FormatLog(const LogIdentity& log);
bool ParseLog(const std::string& bytes, LogIdentity& log);
// True when the archived log of that sequence is on disk and belongs to the database.
bool ArchivedLogOnDisk(const DatabaseFiles& files, const ControlFile& controlFile,
                       unsigned resetlogsId, unsigned sequence);
// Archives the current online log (in ARCHIVELOG mode) and moves the database to the next
// sequence; rewrites the online log. The caller saves the control file.
bool SwitchLog(const DatabaseFiles& files, ControlFile& controlFile);
bool WriteOnlineLog(const DatabaseFiles& files, const ControlFile& controlFile);

} // namespace simoracle
