// The restore direction: the stream that the host writes, and the restore when the job closes.
#include "plugin/RestoreJob.h"
#include "plugin/PluginImplementation.h"
#include "plugin/RestoreChain.h"
#include "rman/RmanProcedures.h"
#include "virid/FormatString.h"

namespace {

// Used when the packer gives no reason of its own.
const wchar_t kStreamIncomplete[] =
    L"The backup stream is incomplete or damaged; the database was not restored";

} // namespace

int32_t RestoreJob::Start() {
    plugin.Report(LogProgress, L"Transfer restoration data...");
    if (packer.Open(settings->tempFolder, false) != VIRid::DirPacker::Ok) {
        plugin.Report(LogError, packer.GetErrorText());
        return Failure;
    }
    return Success;
}

int32_t RestoreJob::Close(bool& keepJob) {
    const int packerResult = packer.Close();
    // A restore whose stream was incomplete never reaches Recovery Manager; its partial folder
    // is of no use and goes like any other.
    if (packerResult != VIRid::DirPacker::Ok) {
        const std::wstring reason = packer.GetErrorText();
        plugin.Report(LogError, !reason.empty() ? reason : kStreamIncomplete);
        return Failure;
    }
    RestoreStream stream;
    std::wstring error;
    if (!ReadRestoreStream(*settings, stream, error)) {
        plugin.Report(LogError, error);
        return Failure;
    }
    plugin.Report(LogProgress, L"Restore database...");
    // A job kept after a failed restore runs it again on what the first attempt left.
    const bool firstAttempt = state != State::Failed;
    state = State::Closing;
    const RestoreOutcome outcome = RunRestore(*rman, *settings, stream, firstAttempt);
    if (outcome == RestoreOutcome::Restored)
        return Success;
    plugin.Report(LogError, rman->GetErrorText());
    state = State::Failed;
    // A refusal stands whatever the host does: the job ends, and its folder with it.
    if (outcome == RestoreOutcome::Refused)
        return Failure;
    // The job and its folder stay, so that the host can close it again, on a console that
    // starts afresh.
    rman->Stop();
    plugin.KeepForManualRestore(*this);
    plugin.Report(LogWarning,
                  FormatString(L"The unpacked backup stays in '%s' for a manual restore",
                               settings->tempFolder.c_str()));
    keepJob = true;
    return Failure;
}

std::wstring RestoreJob::CloseAtRelease() {
    static_cast<void>(packer.Close());
    return L"the database was not restored";
}
