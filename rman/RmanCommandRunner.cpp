#include "rman/FolderFiles.h"
#include "rman/RmanProcedures.h"

namespace {

// The newest file in folder made from fileNameTemplate; empty when there is none.
std::wstring FindPiece(const std::wstring& folder, const std::wstring& fileNameTemplate) {
    return NewestFileWithExtension(ListFolderFiles(folder), TemplateExtension(fileNameTemplate));
}

bool KeepMessageOnFailure(RmanWrapper& rman, bool succeeded, const wchar_t* message) {
    if (!succeeded && message != nullptr)
        rman.Fail(message);
    return succeeded;
}

} // namespace

bool RunRmanCommand(RmanWrapper& rman, const OracleSettings& settings, RmanCommand command) {
    // Recovery Manager expands no % variable in the name it restores from, so the piece that the
    // backup actually wrote is named; the template stays when the folder holds none.
    std::wstring piece;
    if (command == RmanCommand::RestoreSpFile)
        piece = FindPiece(settings.tempFolder, settings.spFileFormat);
    else if (command == RmanCommand::RestoreControlFile)
        piece = FindPiece(settings.tempFolder, settings.controlFileFormat);
    const bool succeeded = rman.ExecuteCommand(RmanCommandText(command, settings, piece));
    return KeepMessageOnFailure(rman, succeeded, RmanCommandFailure(command));
}

bool CopyFileToFolder(RmanWrapper& rman, const std::wstring& source,
                      const std::wstring& destination) {
    const bool succeeded =
        rman.ExecuteCommand(HostCommandText(CopyFileCommandLine(source, destination)));
    return KeepMessageOnFailure(rman, succeeded, kHostCommandFailure);
}
