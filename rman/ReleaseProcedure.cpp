#include "rman/LogDeletion.h"
#include "rman/RmanProcedures.h"
#include "virid/FormatString.h"

LogRelease ReleaseArchivedLogs(RmanWrapper& rman, const BackupDescription& description) {
    LogRelease release;
    for (const ThreadLogs& logs : description.threads) {
        const std::wstring range =
            FormatString(L"archived logs of thread %I64u (the stream holds sequences %I64u-%I64u)",
                         logs.thread, logs.firstSequence, logs.lastSequence);
        if (!rman.ExecuteCommand(
                DeleteBackedUpLogsCommand(logs.thread, logs.firstSequence, logs.lastSequence))) {
            rman.Fail(L"Can't release the " + range);
            release.refusals.push_back(rman.GetErrorText());
            continue;
        }
        const LogDeletion deletion = ReadLogDeletion(rman.CommandOutput());
        release.released += deletion.deleted;
        std::wstring reasons = DescribeKeptLogs(deletion.kept);
        for (const std::wstring& message : deletion.otherMessages)
            reasons += (reasons.empty() ? L"" : L"; ") + message;
        if (!reasons.empty())
            release.refusals.push_back(L"Oracle kept " + range + L" on disk: " + reasons);
    }
    return release;
}
