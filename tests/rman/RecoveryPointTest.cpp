#include "rman/RecoveryPoint.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

ThreadLogs Logs(unsigned long long thread, unsigned long long first, unsigned long long last,
                unsigned long long lowScn, unsigned long long nextScn, const wchar_t* nextTime) {
    ThreadLogs logs;
    logs.thread = thread;
    logs.firstSequence = first;
    logs.lastSequence = last;
    logs.lowScn = lowScn;
    logs.nextScn = nextScn;
    logs.lowTime = L"2026-12-07 08:00:00";
    logs.nextTime = nextTime;
    return logs;
}

BackupDescription Stream(BackupKind kind, std::vector<ThreadLogs> threads,
                         unsigned long long datafileBackupEnd = 0,
                         const wchar_t* dbid = L"1234567890") {
    BackupDescription description;
    description.kind = kind;
    description.dbName = L"ORCL";
    description.dbid = dbid;
    description.datafileBackupEnd = datafileBackupEnd;
    description.threads = threads;
    return description;
}

// The full stream's earliest point is where its data file backup ends, with the time of the log
// that ends there; the latest point of a stream is its slowest thread's last Next SCN.
TEST(RecoveryPoint, AStreamCoversFromTheEndOfItsDataFileBackupToItsLastLog) {
    const BackupDescription full =
        Stream(BackupKind::Full, {Logs(1, 1, 4, 100, 200, L"2026-12-07 09:00:00")}, 200);
    EXPECT_EQ(200u, EarliestPoint(full).scn);
    EXPECT_EQ(L"2026-12-07 09:00:00", EarliestPoint(full).time);
    const BackupDescription rac =
        Stream(BackupKind::ArchivedLogs, {Logs(1, 5, 6, 200, 380, L"2026-12-07 10:00:00"),
                                          Logs(2, 3, 4, 210, 350, L"2026-12-07 09:50:00")});
    EXPECT_EQ(350u, LatestPoint(rac).scn);
    EXPECT_EQ(L"SCN 350 (2026-12-07 09:50:00)", DescribeStreamPoint(LatestPoint(rac)));

    OracleSettings settings;
    const StreamPoint earliest = EarliestPoint(full);
    const struct {
        unsigned long long scn;
        const wchar_t* time;
        bool before;
    } points[] = {{199, L"", true},
                  {200, L"", false},
                  {0, L"2026-12-07 08:59:59", true},
                  {0, L"2026-12-07 09:00:00", false}};
    for (const auto& point : points) {
        settings.recoverUntilScn = point.scn;
        settings.recoverUntilTime = point.time;
        EXPECT_EQ(point.before, PointBefore(settings, earliest)) << point.scn << " " << point.time;
    }
    // Without the time of the earliest point, a time cannot be judged before it.
    EXPECT_FALSE(PointBefore(settings, StreamPoint{200, L""}));
}

// A chain is a full stream, then archived-log streams whose logs follow on per thread; each
// refusal names the stream at fault.
TEST(RecoveryPoint, AChainIsAFullStreamThenLogStreamsThatFollowOn) {
    const BackupDescription full =
        Stream(BackupKind::Full, {Logs(1, 1, 4, 100, 200, L"2026-12-07 09:00:00")}, 200);
    const BackupDescription first =
        Stream(BackupKind::ArchivedLogs, {Logs(1, 5, 6, 200, 300, L"2026-12-07 10:00:00")});
    const BackupDescription second =
        Stream(BackupKind::ArchivedLogs, {Logs(1, 7, 8, 300, 400, L"2026-12-07 11:00:00")});
    // Without release a stream carries the logs of the one before it again.
    const BackupDescription overlapping =
        Stream(BackupKind::ArchivedLogs, {Logs(1, 1, 8, 100, 400, L"2026-12-07 11:00:00")});
    const struct {
        std::vector<BackupDescription> chain;
        const wchar_t* error; // empty: accepted, covering SCN 200 to 400
    } cases[] = {
        {{full, first, second}, L""},
        {{full, overlapping}, L""},
        {{full,
          Stream(BackupKind::ArchivedLogs, {Logs(1, 6, 8, 250, 400, L"2026-12-07 11:00:00")})},
         L"stream 2 begins thread 1 at sequence 6, but the streams before it end at sequence 4: "
         L"the logs between are missing, or the streams are out of order"},
        {{full, second},
         L"stream 2 begins thread 1 at sequence 7, but the streams before it end at sequence 4: "
         L"the logs between are missing, or the streams are out of order"},
        {{full, first, second, first},
         L"stream 4 holds no log of thread 1 after sequence 8, where the streams before it end: "
         L"the streams are out of order"},
        {{first, second}, L"the first stream of a chain must be a full backup"},
        {{full, full}, L"stream 2 is a full backup; only the first stream of a chain may be one"},
        {{full, Stream(BackupKind::ArchivedLogs, first.threads, 0, L"99")},
         L"stream 2 belongs to DBID 99, the first to DBID 1234567890"},
    };
    for (const auto& c : cases) {
        StreamPoint earliest, latest;
        std::wstring error;
        const bool accepted = CheckBackupChain(c.chain, earliest, latest, error);
        EXPECT_EQ(c.error, error);
        EXPECT_EQ(std::wstring(c.error).empty(), accepted);
        if (accepted) {
            EXPECT_EQ(200u, earliest.scn);
            EXPECT_EQ(400u, latest.scn);
        }
    }
}

} // namespace
