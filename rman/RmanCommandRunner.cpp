#include "rman/FolderFiles.h"
#include "rman/RmanProcedures.h"

namespace {

void KeepMessageOnFailure(RmanWrapper& rman, bool succeeded, const wchar_t* message) {
    if (!succeeded && message != nullptr)
        rman.Fail(message);
}

} // namespace

std::wstring RmanCommandRunner::Text(RmanCommand command) const {
    if (!NamesBackupPiece(command))
        return RmanCommandText(command, settings_);
    return RmanCommandText(command, settings_, ListFolderFiles(settings_.tempFolder));
}

bool RmanCommandRunner::Run(RmanCommand command) const {
    const bool succeeded = rman_.ExecuteCommand(Text(command));
    KeepMessageOnFailure(rman_, succeeded, RmanCommandFailure(command));
    return succeeded;
}

void RmanCommandRunner::Attempt(RmanCommand command) const {
    // The failure's message stays in the error text; what follows is the procedure's choice.
    static_cast<void>(Run(command));
}

void RmanCommandRunner::AttemptKeepingErrorText(RmanCommand command) const {
    static_cast<void>(rman_.ExecuteCommand(Text(command)));
}

void RmanCommandRunner::AttemptCopy(const std::wstring& source,
                                    const std::wstring& destination) const {
    const bool succeeded =
        rman_.ExecuteCommand(HostCommandText(CopyFileCommandLine(source, destination)));
    KeepMessageOnFailure(rman_, succeeded, kHostCommandFailure);
}
