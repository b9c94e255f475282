#include "rman/RmanCommandText.h"
#include "rman/RmanWrapper.h"

namespace text = RmanCommandText;

bool RmanWrapper::RunBackup(OracleSettings* jobSettings) {
    settings = jobSettings; // Start reads it
    if (!Start() || !Connect())
        return false;

    // Once this procedure has taken the database down, a failure must not leave it down: it is
    // brought back (opened from the mount, or started afresh when there is no mount) and the
    // failure's own message is what the caller reports.
    const auto failAfterShutdown = [this](bool mounted) {
        if (settings->openAfterBackup) {
            const std::wstring failure = lastError;
            ExecuteCommand(mounted ? text::kOpenDatabase : text::kStartup);
            lastError = failure;
        }
        return false;
    };

    ExecuteCommand(text::kClearTapeChannel);
    ExecuteCommand(text::kDiskAsDefaultDevice);
    CrosscheckBackups();
    DeleteTaggedBackups();

    if (!settings->onlineBackup) {
        if (!ShutdownImmediate() || !StartupMount())
            return failAfterShutdown(false);
    }
    if (settings->backupSPFile)
        BackupSpFileToFolder();
    if (settings->backupControlFile)
        BackupControlFileToFolder();

    if (!BackupDatabaseToFolder()) {
        // An online backup fails on a database without archived logs: retry offline, once.
        settings->onlineBackup = false;
        settings->backupArchiveLog = false;
        if (!ShutdownImmediate() || !StartupMount())
            return failAfterShutdown(false);
        if (!BackupDatabaseToFolder())
            return failAfterShutdown(true);
    }

    for (const std::wstring& source : text::ConfigurationFiles(*settings))
        CopyFileToFolder(source, settings->tempFolder);
    return true;
}

bool RmanWrapper::CompleteBackup() {
    if (!IsAlive())
        return false;
    CrosscheckBackups();
    DeleteTaggedBackups();
    if (!settings->onlineBackup && settings->openAfterBackup)
        OpenDatabase();
    return true;
}
