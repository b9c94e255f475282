#include "rman/RmanProcedures.h"

namespace {
const wchar_t* const kCannotMount = L"Can't mount database for restoring data";
}

bool RunRestore(RmanWrapper& rman, const OracleSettings& settings) {
    if (!rman.Start(settings) || !rman.Connect(settings))
        return false;
    const auto run = [&](RmanCommand command) { return RunRmanCommand(rman, settings, command); };

    run(RmanCommand::ShutdownImmediate);
    if (!run(RmanCommand::StartupMount)) {
        // Without its control file the database cannot mount: take it from the backup's piece.
        if (!settings.backupSPFile) {
            rman.SetErrorText(kCannotMount);
            return false;
        }
        run(RmanCommand::ShutdownImmediate);
        run(RmanCommand::StartupForceNomount);
        run(RmanCommand::RestoreControlFile);
        run(RmanCommand::ShutdownImmediate);
    }
    if (!run(RmanCommand::StartupMount)) {
        rman.SetErrorText(kCannotMount);
        return false;
    }

    // Records of earlier pieces under the same tag would compete with the folder's.
    run(RmanCommand::CrosscheckBackups);
    run(RmanCommand::DeleteTaggedBackups);
    if (!run(RmanCommand::CatalogTempFolder) || !run(RmanCommand::RestoreDatabaseByTag))
        return false;
    if (settings.backupArchiveLog)
        run(RmanCommand::RestoreArchiveLogs);

    // Done only when the database is open again: a restored database left mounted is a failure
    // the DBA must hear of, with the open's message.
    if (run(RmanCommand::RecoverDatabase)) {
        run(RmanCommand::CrosscheckBackups);
        run(RmanCommand::DeleteTaggedBackups);
        return run(RmanCommand::OpenDatabase) || run(RmanCommand::OpenDatabaseResetLogs);
    }
    run(RmanCommand::RecoverUntilFirstLog);
    run(RmanCommand::CrosscheckBackups);
    run(RmanCommand::DeleteTaggedBackups);
    return run(RmanCommand::OpenDatabaseResetLogs);
}
