// Reading Recovery Manager's answer to DELETE ARCHIVELOG: how many logs it deleted ("Deleted N
// objects"), and which it kept, with its reason. A log that Oracle refuses to delete (RMAN-08137
// needed for a standby, RMAN-08138 the deletion policy, RMAN-08139 a guaranteed restore point)
// is named by the warning and a line after it:
//   RMAN-08138: warning: archived log not deleted - must create more backups
//   archived log file name=C:\ARCH\ARC0000000057_0001.ARC thread=1 sequence=57
// Pure functions.
#pragma once

#include <string>
#include <vector>

struct KeptLog {
    unsigned long long thread = 0;
    unsigned long long sequence = 0;
    std::wstring reason; // the message lines before it, joined by "; "
};

struct LogDeletion {
    unsigned long long deleted = 0;
    std::vector<KeptLog> kept;
    // Message lines that named no log.
    std::vector<std::wstring> otherMessages;
};

LogDeletion ReadLogDeletion(const std::wstring& output);

// "sequences 57, 58 and 60: REASON" for the kept logs of one thread, grouped by reason and
// joined by "; ".
std::wstring DescribeKeptLogs(const std::vector<KeptLog>& kept);
