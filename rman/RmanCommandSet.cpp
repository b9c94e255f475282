#include "rman/FolderFiles.h"
#include "rman/RmanCommandText.h"
#include "rman/RmanWrapper.h"

namespace text = RmanCommandText;

namespace {

// A failed command replaces the whole error text with its own message; success leaves it.
bool KeepMessageOnFailure(bool succeeded, std::wstring& error, const wchar_t* message) {
    if (!succeeded)
        error = message;
    return succeeded;
}

// The newest file in folder made from fileNameTemplate; empty when there is none.
std::wstring FindPiece(const std::wstring& folder, const std::wstring& fileNameTemplate) {
    return NewestFileWithExtension(ListFolderFiles(folder), TemplateExtension(fileNameTemplate));
}

} // namespace

// Without a message of its own: whatever the error text held stays.
bool RmanWrapper::CrosscheckBackups() {
    return ExecuteCommand(text::kCrosscheckBackups);
}

bool RmanWrapper::DeleteTaggedBackups() {
    return KeepMessageOnFailure(ExecuteCommand(text::DeleteTaggedBackups(*settings)), lastError,
                                L"Backup deletion failed");
}

bool RmanWrapper::ShutdownImmediate() {
    return KeepMessageOnFailure(ExecuteCommand(text::kShutdownImmediate), lastError,
                                L"Base shutdown failed");
}

bool RmanWrapper::StartupMount() {
    return KeepMessageOnFailure(ExecuteCommand(text::kStartupMount), lastError,
                                L"Base startup failed");
}

bool RmanWrapper::StartupForceNomount() {
    return KeepMessageOnFailure(ExecuteCommand(text::kStartupForceNomount), lastError,
                                L"'startup force nomount' failed");
}

bool RmanWrapper::OpenDatabase() {
    return KeepMessageOnFailure(ExecuteCommand(text::kOpenDatabase), lastError,
                                L"Alter database open failed");
}

bool RmanWrapper::OpenDatabaseResetLogs() {
    return KeepMessageOnFailure(ExecuteCommand(text::kOpenDatabaseResetLogs), lastError,
                                L"Can't open resetlogs");
}

bool RmanWrapper::BackupSpFileToFolder() {
    return KeepMessageOnFailure(ExecuteCommand(text::BackupSpFileToFolder(*settings)), lastError,
                                L"Backup spfile failed");
}

bool RmanWrapper::BackupControlFileToFolder() {
    return KeepMessageOnFailure(ExecuteCommand(text::BackupControlFileToFolder(*settings)),
                                lastError, L"Backup controlfile failed");
}

bool RmanWrapper::BackupDatabaseToFolder() {
    // The folder normally exists; a failure here shows in the backup's own result.
    CreateDirectoryW(settings->tempFolder.c_str(), nullptr);
    return KeepMessageOnFailure(ExecuteCommand(text::BackupDatabaseToFolder(*settings)), lastError,
                                L"Backup database failed");
}

bool RmanWrapper::CatalogTempFolder() {
    return KeepMessageOnFailure(ExecuteCommand(text::CatalogTempFolder(*settings)), lastError,
                                L"Can't add base to catalog");
}

bool RmanWrapper::RestoreDatabaseByTag() {
    return KeepMessageOnFailure(ExecuteCommand(text::RestoreDatabaseByTag(*settings)), lastError,
                                L"Can't restore database");
}

bool RmanWrapper::RestoreArchiveLogs() {
    return KeepMessageOnFailure(ExecuteCommand(text::kRestoreArchiveLogs), lastError,
                                L"Can't restore archivelog");
}

bool RmanWrapper::RecoverDatabase() {
    return KeepMessageOnFailure(ExecuteCommand(text::kRecoverDatabase), lastError,
                                L"Can't recover database");
}

bool RmanWrapper::SetDbid() {
    return KeepMessageOnFailure(ExecuteCommand(text::SetDbid(*settings)), lastError,
                                L"Setting DB Id failed");
}

// Recovery Manager expands no % variable in the name it restores from, so the piece that the
// backup actually wrote is named; the template stays when the folder holds none.
bool RmanWrapper::RestoreSpFile() {
    const std::wstring piece = FindPiece(settings->tempFolder, settings->spFileFormat);
    return KeepMessageOnFailure(ExecuteCommand(text::RestoreSpFile(*settings, piece)), lastError,
                                L"Restore spfile failed");
}

bool RmanWrapper::RestoreControlFile() {
    const std::wstring piece = FindPiece(settings->tempFolder, settings->controlFileFormat);
    return KeepMessageOnFailure(ExecuteCommand(text::RestoreControlFile(*settings, piece)),
                                lastError, L"Restore controlfile failed");
}

bool RmanWrapper::RunHostCommand(const std::wstring& commandLine) {
    return KeepMessageOnFailure(ExecuteCommand(text::HostCommand(commandLine)), lastError,
                                L"Host command failed");
}

bool RmanWrapper::CopyFileToFolder(const std::wstring& source, const std::wstring& destination) {
    return RunHostCommand(text::CopyFileCommandLine(source, destination));
}
