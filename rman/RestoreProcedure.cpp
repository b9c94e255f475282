#include "rman/RmanCommandText.h"
#include "rman/RmanWrapper.h"

namespace text = RmanCommandText;

namespace {
const wchar_t* const kCannotMount = L"Can't mount database for restoring data";
}

bool RmanWrapper::RunRestore(OracleSettings* jobSettings) {
    settings = jobSettings; // Start reads it
    if (!Start() || !Connect())
        return false;

    ShutdownImmediate();
    if (!StartupMount()) {
        // Without its control file the database cannot mount: take it from the backup's piece.
        if (!settings->backupSPFile) {
            lastError = kCannotMount;
            return false;
        }
        ShutdownImmediate();
        StartupForceNomount();
        RestoreControlFile();
        ShutdownImmediate();
    }
    if (!StartupMount()) {
        lastError = kCannotMount;
        return false;
    }

    // Records of earlier pieces under the same tag would compete with the folder's.
    CrosscheckBackups();
    DeleteTaggedBackups();
    if (!CatalogTempFolder() || !RestoreDatabaseByTag())
        return false;
    if (settings->backupArchiveLog)
        RestoreArchiveLogs();

    // Done only when the database is open again: a restored database left mounted is a failure
    // the DBA must hear of, with the open's message.
    if (RecoverDatabase()) {
        CrosscheckBackups();
        DeleteTaggedBackups();
        return OpenDatabase() || OpenDatabaseResetLogs();
    }
    ExecuteCommand(text::kRecoverUntilFirstLog);
    CrosscheckBackups();
    DeleteTaggedBackups();
    return OpenDatabaseResetLogs();
}
