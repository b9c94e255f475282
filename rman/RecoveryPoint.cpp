#include "rman/RecoveryPoint.h"

#include "virid/FormatString.h"
#include "virid/Strings.h"

#include <map>

namespace {

const wchar_t kTimeMask[] = L"YYYY-MM-DD HH24:MI:SS";

bool ReadDigits(const std::wstring& text, size_t at, size_t count, unsigned& value) {
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return false;
        value = value * 10 + static_cast<unsigned>(text[i] - L'0');
    }
    return true;
}

unsigned DaysInMonth(unsigned year, unsigned month) {
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

} // namespace

bool ParseRecoveryScn(const std::wstring& text, unsigned long long& scn) {
    unsigned long long value = 0;
    if (!VIRid::strings::ParseDecimal(VIRid::strings::TrimBlanks(text), value) || value == 0)
        return false;
    scn = value;
    return true;
}

bool ParseRecoveryTime(const std::wstring& text, std::wstring& time) {
    const std::wstring value = VIRid::strings::TrimBlanks(text);
    if (value.size() != 19 || value[4] != L'-' || value[7] != L'-' || value[10] != L' ' ||
        value[13] != L':' || value[16] != L':')
        return false;
    unsigned year, month, day, hour, minute, second;
    if (!ReadDigits(value, 0, 4, year) || !ReadDigits(value, 5, 2, month) ||
        !ReadDigits(value, 8, 2, day) || !ReadDigits(value, 11, 2, hour) ||
        !ReadDigits(value, 14, 2, minute) || !ReadDigits(value, 17, 2, second))
        return false;
    if (year < 1000 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour > 23 || minute > 59 || second > 59)
        return false;
    time = value;
    return true;
}

std::wstring ReadRecoveryPoint(bool scnFound, const std::wstring& scnText, bool timeFound,
                               const std::wstring& timeText, OracleSettings& settings) {
    settings.recoverUntilScn = 0;
    settings.recoverUntilTime.clear();
    // An empty value sets no point, as a missing key.
    const bool scnSet = scnFound && !VIRid::strings::TrimBlanks(scnText).empty();
    const bool timeSet = timeFound && !VIRid::strings::TrimBlanks(timeText).empty();
    if (scnSet && timeSet)
        return L"Can't start the restore: RecoverUntilScn and RecoverUntilTime are both set; set "
               L"one point only";
    if (scnSet && !ParseRecoveryScn(scnText, settings.recoverUntilScn))
        return FormatString(L"Can't start the restore: the setting RecoverUntilScn is '%s'; it "
                            L"takes an SCN in decimal digits (such as 1946270)",
                            scnText.c_str());
    if (timeSet && !ParseRecoveryTime(timeText, settings.recoverUntilTime))
        return FormatString(L"Can't start the restore: the setting RecoverUntilTime is '%s'; it "
                            L"takes a date and time of the database's clock as YYYY-MM-DD "
                            L"HH:MM:SS (such as 2026-12-07 14:32:00)",
                            timeText.c_str());
    return std::wstring();
}

bool HasRecoveryPoint(const OracleSettings& settings) {
    return settings.recoverUntilScn != 0 || !settings.recoverUntilTime.empty();
}

std::wstring DescribeRecoveryPoint(const OracleSettings& settings) {
    if (settings.recoverUntilScn != 0)
        return FormatString(L"SCN %I64u", settings.recoverUntilScn);
    return settings.recoverUntilTime;
}

std::wstring RecoverDatabaseText(const OracleSettings& settings) {
    if (settings.recoverUntilScn != 0)
        return FormatString(L"run { set until scn %I64u; recover database; }\n",
                            settings.recoverUntilScn);
    if (!settings.recoverUntilTime.empty())
        return FormatString(L"run { set until time \"to_date('%s','%s')\"; recover database; }\n",
                            settings.recoverUntilTime.c_str(), kTimeMask);
    return L"recover database;\n";
}

StreamPoint EarliestPoint(const BackupDescription& description) {
    StreamPoint point;
    point.scn = description.datafileBackupEnd;
    for (const ThreadLogs& logs : description.threads)
        if (point.scn != 0 && logs.nextScn == point.scn)
            point.time = logs.nextTime;
    return point;
}

StreamPoint LatestPoint(const BackupDescription& description) {
    StreamPoint point;
    for (const ThreadLogs& logs : description.threads)
        if (point.scn == 0 || logs.nextScn < point.scn) {
            point.scn = logs.nextScn;
            point.time = logs.nextTime;
        }
    return point;
}

bool PointBefore(const OracleSettings& settings, const StreamPoint& earliest) {
    if (settings.recoverUntilScn != 0)
        return settings.recoverUntilScn < earliest.scn;
    // Times of one format compare as texts.
    return !settings.recoverUntilTime.empty() && !earliest.time.empty() &&
           settings.recoverUntilTime < earliest.time;
}

std::wstring DescribeStreamPoint(const StreamPoint& point) {
    if (point.time.empty())
        return FormatString(L"SCN %I64u", point.scn);
    return FormatString(L"SCN %I64u (%s)", point.scn, point.time.c_str());
}

bool CheckBackupChain(const std::vector<BackupDescription>& chain, StreamPoint& earliest,
                      StreamPoint& latest, std::wstring& error) {
    if (chain.empty() || chain.front().kind != BackupKind::Full) {
        error = L"the first stream of a chain must be a full backup";
        return false;
    }
    std::map<unsigned long long, unsigned long long> lastSequence; // by thread
    for (size_t i = 0; i < chain.size(); ++i) {
        const BackupDescription& stream = chain[i];
        if (i > 0 && stream.kind != BackupKind::ArchivedLogs) {
            error = FormatString(L"stream %I64u is a full backup; only the first stream of a chain "
                                 L"may be one",
                                 static_cast<unsigned long long>(i + 1));
            return false;
        }
        if (stream.dbid != chain.front().dbid) {
            error = FormatString(L"stream %I64u belongs to DBID %s, the first to DBID %s",
                                 static_cast<unsigned long long>(i + 1), stream.dbid.c_str(),
                                 chain.front().dbid.c_str());
            return false;
        }
        for (const ThreadLogs& logs : stream.threads) {
            const auto before = lastSequence.find(logs.thread);
            if (before != lastSequence.end() && logs.firstSequence > before->second + 1) {
                error = FormatString(
                    L"stream %I64u begins thread %I64u at sequence %I64u, but the streams before "
                    L"it end at sequence %I64u: the logs between are missing, or the streams are "
                    L"out of order",
                    static_cast<unsigned long long>(i + 1), logs.thread, logs.firstSequence,
                    before->second);
                return false;
            }
            if (before != lastSequence.end() && logs.lastSequence <= before->second) {
                error = FormatString(L"stream %I64u holds no log of thread %I64u after sequence "
                                     L"%I64u, where the streams before it end: the streams are "
                                     L"out of order",
                                     static_cast<unsigned long long>(i + 1), logs.thread,
                                     before->second);
                return false;
            }
            lastSequence[logs.thread] = logs.lastSequence;
        }
        if (!stream.threads.empty())
            latest = LatestPoint(stream);
    }
    earliest = EarliestPoint(chain.front());
    return true;
}
