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

    if (RecoverDatabase()) {
        CrosscheckBackups();
        DeleteTaggedBackups();
        if (!OpenDatabase())
            OpenDatabaseResetLogs();
        return true;
    }
    ExecuteCommand(text::kRecoverUntilFirstLog);
    CrosscheckBackups();
    DeleteTaggedBackups();
    OpenDatabaseResetLogs();
    return true;
}
