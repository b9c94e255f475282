#include "rman/FolderFiles.h"
#include "rman/RmanProcedures.h"

namespace {

bool KeepMessageOnFailure(RmanWrapper& rman, bool succeeded, const wchar_t* message) {
    if (!succeeded && message != nullptr)
        rman.Fail(message);
    return succeeded;
}

} // namespace

bool RunRmanCommand(RmanWrapper& rman, const OracleSettings& settings, RmanCommand command) {
    const std::vector<FolderFile> folderFiles = NamesBackupPiece(command)
                                                    ? ListFolderFiles(settings.tempFolder)
                                                    : std::vector<FolderFile>();
    const bool succeeded = rman.ExecuteCommand(RmanCommandText(command, settings, folderFiles));
    return KeepMessageOnFailure(rman, succeeded, RmanCommandFailure(command));
}

bool CopyFileToFolder(RmanWrapper& rman, const std::wstring& source,
                      const std::wstring& destination) {
    const bool succeeded =
        rman.ExecuteCommand(HostCommandText(CopyFileCommandLine(source, destination)));
    return KeepMessageOnFailure(rman, succeeded, kHostCommandFailure);
}
