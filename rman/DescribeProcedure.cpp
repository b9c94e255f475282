#include "rman/BackupListing.h"
#include "rman/RmanProcedures.h"

#include <functional>

namespace {

// Sends the listing and reads its output; false with the reason in error.
bool Listed(RmanWrapper& rman, const RmanCommandRunner& commands, RmanCommand listing,
            const std::function<bool(const std::wstring& output, std::wstring& reason)>& read,
            std::wstring& error) {
    if (!commands.Run(listing)) {
        error = rman.GetErrorText();
        return false;
    }
    std::wstring reason;
    if (read(rman.CommandOutput(), reason))
        return true;
    error = L"Can't read what the backup holds: " + reason;
    return false;
}

} // namespace

bool DescribeBackup(RmanWrapper& rman, const OracleSettings& settings,
                    BackupDescription& description, std::wstring& error) {
    const RmanCommandRunner commands(rman, settings);
    const bool full = settings.backupKind == BackupKind::Full;
    std::vector<ListedDataFile> dataFiles;
    std::vector<ThreadLogs> logs;
    const auto readDataFiles = [&dataFiles](const std::wstring& output, std::wstring& reason) {
        return ParseListedDataFiles(output, dataFiles, reason);
    };
    const auto readLogs = [&logs](const std::wstring& output, std::wstring& reason) {
        return ParseListedLogs(output, logs, reason);
    };
    if (full && !Listed(rman, commands, RmanCommand::ListDatabaseBackups, readDataFiles, error))
        return false;
    // A full backup without its logs (asked so, or taken offline for want of them) lists none.
    if ((!full || settings.backupArchiveLog) &&
        !Listed(rman, commands, RmanCommand::ListArchivedLogBackups, readLogs, error))
        return false;
    description.kind = settings.backupKind;
    description.tag = settings.backupTag;
    description.threads = LogsByThread(logs);
    description.datafileBackupEnd = full ? DatafileBackupEnd(dataFiles, description.threads) : 0;
    return true;
}
