// The point at which a restore's recovery stops, as the settings RecoverUntilScn and
// RecoverUntilTime give it, and how it compares with what a stream's description covers.
//
// Recovery Manager's limit is exclusive: a recovery until SCN n applies the redo below n, and a
// recovery until a time the redo made before that time.
#pragma once

#include "rman/BackupDescription.h"
#include "rman/OracleSettings.h"

#include <string>
#include <vector>

// A decimal SCN of 1 to 19 digits, 1 or more; blanks around it allowed.
bool ParseRecoveryScn(const std::wstring& text, unsigned long long& scn);
// YYYY-MM-DD HH:MM:SS of a real calendar day and time (years 1000 to 9999); blanks around it
// allowed, and taken off in time.
bool ParseRecoveryTime(const std::wstring& text, std::wstring& time);

// The setting's texts read into settings: empty when they are sound, else why no restore can
// start with them (a malformed value, or both points at once).
std::wstring ReadRecoveryPoint(bool scnFound, const std::wstring& scnText, bool timeFound,
                               const std::wstring& timeText, OracleSettings& settings);

bool HasRecoveryPoint(const OracleSettings& settings);
// "SCN n" or "YYYY-MM-DD HH:MM:SS"; empty without a point.
std::wstring DescribeRecoveryPoint(const OracleSettings& settings);

// The recovery command: "recover database;" without a point, else a RUN block that sets it:
// run { set until scn N; recover database; } or, with the time's mask spelt out so that no NLS
// setting changes its meaning, run { set until time "to_date('T','YYYY-MM-DD HH24:MI:SS')";
// recover database; }.
std::wstring RecoverDatabaseText(const OracleSettings& settings);

// A point in a stream's history: an SCN and its time (empty when unknown).
struct StreamPoint {
    unsigned long long scn = 0;
    std::wstring time;
};
// The earliest point at which a restore of a full stream can stop: the end of its data file
// backup, with the Next Time of the log that ends there when the stream holds it. scn 0: unknown.
StreamPoint EarliestPoint(const BackupDescription& description);
// The latest point that the stream's archived logs reach: the lowest, over the threads, of each
// thread's last Next SCN (recovery needs every thread that far). scn 0: it holds no log.
StreamPoint LatestPoint(const BackupDescription& description);
// The settings' point lies before earliest (which must be known: an SCN below it, or a time
// before its time when that is known).
bool PointBefore(const OracleSettings& settings, const StreamPoint& earliest);
// "SCN n (YYYY-MM-DD HH:MM:SS)", or "SCN n" without a time.
std::wstring DescribeStreamPoint(const StreamPoint& point);

// The streams of a chain in the order of restoring: a full stream, then archived-log streams
// whose logs follow on, thread by thread. False, with the reason naming the stream by its
// position (1 the first), when the first is not a full stream, another is, the DBIDs differ, or
// a thread's sequences leave a gap (a stream starting after the sequence that follows the last
// one before it) or go back (a stream holding nothing after it; overlaps are harmless). Covered:
// from the full stream's earliest point to the last stream's latest point (of the full stream's own
// logs when no later stream has logs).
bool CheckBackupChain(const std::vector<BackupDescription>& chain, StreamPoint& earliest,
                      StreamPoint& latest, std::wstring& error);
