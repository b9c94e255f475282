#include "rman/RmanProcedures.h"

#include <windows.h>

bool RunBackup(RmanWrapper& rman, OracleSettings& settings) {
    if (!rman.Start(settings) || !rman.Connect(settings))
        return false;
    const auto run = [&](RmanCommand command) { return RunRmanCommand(rman, settings, command); };

    // Once this procedure has taken the database down, a failure must not leave it down: it is
    // brought back (opened from the mount, or started afresh when there is no mount) and the
    // failure's own message is what the caller reports.
    const auto failAfterShutdown = [&](bool mounted) {
        if (settings.openAfterBackup) {
            const std::wstring failure = rman.GetErrorText();
            run(mounted ? RmanCommand::OpenDatabase : RmanCommand::Startup);
            rman.SetErrorText(failure);
        }
        return false;
    };
    const auto backupDatabase = [&]() {
        // The folder normally exists; a failure here shows in the backup's own result.
        CreateDirectoryW(settings.tempFolder.c_str(), nullptr);
        return run(RmanCommand::BackupDatabaseToFolder);
    };

    run(RmanCommand::ClearTapeChannel);
    run(RmanCommand::DiskAsDefaultDevice);
    run(RmanCommand::CrosscheckBackups);
    run(RmanCommand::DeleteTaggedBackups);

    if (!settings.onlineBackup) {
        if (!run(RmanCommand::ShutdownImmediate) || !run(RmanCommand::StartupMount))
            return failAfterShutdown(false);
    }
    if (settings.backupSPFile)
        run(RmanCommand::BackupSpFileToFolder);
    if (settings.backupControlFile)
        run(RmanCommand::BackupControlFileToFolder);

    if (!backupDatabase()) {
        // An online backup fails on a database without archived logs: retry offline, once.
        settings.onlineBackup = false;
        settings.backupArchiveLog = false;
        if (!run(RmanCommand::ShutdownImmediate) || !run(RmanCommand::StartupMount))
            return failAfterShutdown(false);
        if (!backupDatabase())
            return failAfterShutdown(true);
    }

    for (const std::wstring& source : ConfigurationFiles(settings))
        CopyFileToFolder(rman, source, settings.tempFolder);
    return true;
}

bool CompleteBackup(RmanWrapper& rman, const OracleSettings& settings) {
    if (!rman.IsRunning())
        return false;
    RunRmanCommand(rman, settings, RmanCommand::CrosscheckBackups);
    RunRmanCommand(rman, settings, RmanCommand::DeleteTaggedBackups);
    if (!settings.onlineBackup && settings.openAfterBackup)
        RunRmanCommand(rman, settings, RmanCommand::OpenDatabase);
    return true;
}
