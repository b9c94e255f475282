// The backup direction: the dump when the job opens, the stream that the host reads, and the
// closing steps.
#include "plugin/BackupJob.h"

#include "plugin/BackupFolder.h"
#include "plugin/PluginImplementation.h"
#include "rman/BackupPieceChoice.h"
#include "rman/FolderFiles.h"
#include "rman/RmanWrapper.h"
#include "virid/FormatString.h"
#include "virid/Strings.h"
#include "virid/Win32Handles.h"

#include <windows.h>

#include <algorithm>

namespace {

// Used when the packer gives no reason of its own.
const wchar_t kStreamNotReadToEnd[] =
    L"The backup stream was not read to its end; the backup is incomplete";
// How long a wait for Recovery Manager lasts before the folder is looked at again.
const unsigned kAwaitMs = 500;
// How long a piece that Recovery Manager has named may stay open or growing.
const ULONGLONG kPieceSettleMs = 60000;
// How long a piece's size must stand, with nobody holding it, to count as complete.
const DWORD kSizeStandsMs = 20;
// How often Read looks whether the dump has ended while the host reads.
const ULONGLONG kLookMs = 200;
// The folder's bytes are looked at again after the host has read this much. The staging peak comes
// just before a piece that the host has read is removed: the figure falls short of it by no more
// than Recovery Manager writes while the host reads this much.
const uint64_t kStagingLookBytes = 1ULL << 20;

std::wstring FileNameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// A piece that Recovery Manager wrote into the job folder itself (a control-file autobackup goes
// elsewhere and is not the job's).
bool IsInFolder(const std::wstring& folder, const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash != std::wstring::npos &&
           VIRid::strings::to_upper(path.substr(0, slash)) == VIRid::strings::to_upper(folder);
}

bool SizeOf(const std::wstring& path, uint64_t& size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

// Nobody holds the file open: an open that shares nothing succeeds.
bool OpensAlone(const std::wstring& path) {
    const VIRid::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.get() != nullptr && file.get() != INVALID_HANDLE_VALUE;
}

} // namespace

int32_t BackupJob::Start() {
    const bool full = settings->backupKind == BackupKind::Full;
    plugin.Report(LogProgress, full ? L"Dump database..." : L"Dump archived logs...");
    if (!RunBackup(*rman, *settings, run)) {
        plugin.Report(LogError, rman->GetErrorText());
        return Failure;
    }
    for (const std::wstring& warning : run.warnings)
        plugin.Report(LogWarning, warning);
    // A dump that left no piece of its kind would stream a backup that restores nothing. In the
    // streamed way the first database piece is there before Open returns.
    BackupPieces pieces;
    std::wstring error;
    if (!ReadBackupFolder(*settings, settings->backupKind, pieces, error))
        return FailUnstreamed(FormatString(
            L"%s: %s; nothing was streamed",
            full ? L"Backup database failed" : L"Backup archived logs failed", error.c_str()));
    // The stream says what it holds, in Recovery Manager's words; the pieces' names carry the
    // database's.
    description.dbName = pieces.dbName;
    description.dbid = pieces.dbid;
    if (!run.underWay)
        DumpEnded(false);
    NoteStagedBytes();
    plugin.Report(LogProgress, L"Transfer dump files...");
    state = State::Streaming;
    if (settings->pieceSizeMiB == 0) {
        if (packer.Open(settings->tempFolder, true, {kBackupDescriptionName}) !=
            VIRid::DirPacker::Ok)
            return FailUnstreamed(packer.GetErrorText());
        return Success;
    }
    if (packer.OpenStreamed(settings->tempFolder) != VIRid::DirPacker::Ok)
        return FailUnstreamed(packer.GetErrorText());
    pendingPieces.assign(run.pieces.begin(), run.pieces.end());
    return Success;
}

int32_t BackupJob::FailUnstreamed(const std::wstring& reason) {
    // The database goes back to the state it had (whatever the closing steps answer, the reason
    // stays the dump's); the job's folder goes when Open fails.
    plugin.Report(LogError, reason);
    state = State::Failed;
    static_cast<void>(RestoreDatabaseState());
    return Failure;
}

void BackupJob::DumpEnded(bool copyConfiguration) {
    dumpEnded = true;
    if (copyConfiguration)
        CopyConfigurationFiles(*rman, *settings);
    // Listed while the database is still mounted (one found down is shut down again next).
    Describe();
    // Production is back as soon as its backup is written, not once a slow host has read it.
    broughtBack = true;
    if (!BringDatabaseBack(*rman, *settings))
        bringBackFailure = rman->GetErrorText();
}

void BackupJob::Describe() {
    // Its pieces are whole without it: a stream that cannot say what it holds is still
    // streamed, with a warning, as one made before descriptions (and no log is released after
    // it unless the listing was read).
    std::wstring error;
    if (!DescribeBackup(*rman, *settings, description, error) ||
        !WriteBackupDescription(settings->tempFolder, description, error))
        plugin.Report(LogWarning, L"The backup stream will not say what it holds: " + error);
}

int32_t BackupJob::Read(unsigned char* buffer, uint32_t& size) {
    const uint32_t capacity = size;
    if (state == State::Failed) {
        size = 0;
        return Failure;
    }
    // The end of the dump is noticed while the host reads, so that the database is brought back
    // as soon as it is written, however slowly the host reads.
    if (!dumpEnded && settings->pieceSizeMiB > 0 && GetTickCount64() - lastLook >= kLookMs) {
        lastLook = GetTickCount64();
        if (!FollowDump(1)) {
            size = 0;
            return Failure;
        }
    }
    for (;;) {
        size = capacity;
        const int result = packer.Read(buffer, size);
        if (result != VIRid::DirPacker::NeedsFile) {
            // A whole dump is all in the folder when Open returns: only the streamed way grows.
            readSinceLastLook += size;
            if (settings->pieceSizeMiB > 0 && readSinceLastLook >= kStagingLookBytes) {
                readSinceLastLook = 0;
                NoteStagedBytes();
            }
            ReportProgress();
            return MapPackerResult(result);
        }
        if (!FeedPacker()) {
            size = 0;
            return Failure;
        }
    }
}

bool BackupJob::FeedPacker() {
    for (;;) {
        if (!pendingPieces.empty()) {
            const std::wstring path = pendingPieces.front();
            pendingPieces.pop_front();
            if (!IsInFolder(settings->tempFolder, path))
                continue;
            std::wstring reason;
            if (!AwaitCompletePiece(path, reason))
                return FailStream(reason);
            NoteStagedBytes();
            uint64_t bytes = 0;
            static_cast<void>(SizeOf(path, bytes));
            if (packer.AddFile(FileNameOf(path)) != VIRid::DirPacker::Ok)
                return FailStream(packer.GetErrorText());
            givenPieces.push_back(
                {bytes,
                 EndsWithIgnoringCase(path, TemplateExtension(settings->backupPieceFormat))});
            return true;
        }
        if (dumpEnded) {
            if (packer.FinishFiles({kBackupDescriptionName}) != VIRid::DirPacker::Ok)
                return FailStream(packer.GetErrorText());
            return true;
        }
        if (!FollowDump(kAwaitMs))
            return false;
        NoteStagedBytes();
    }
}

bool BackupJob::FollowDump(unsigned waitMs) {
    const RmanWrapper::CommandProgress progress = rman->AwaitCommand(waitMs);
    for (const std::wstring& piece : rman->TakeNamedPieces())
        pendingPieces.push_back(piece);
    if (progress == RmanWrapper::CommandProgress::Succeeded) {
        DumpEnded(true);
    } else if (progress == RmanWrapper::CommandProgress::Failed) {
        rman->Fail(RmanCommandFailure(RmanCommand::StreamDatabaseToFolder));
        return FailStream(rman->GetErrorText());
    }
    return true;
}

bool BackupJob::AwaitCompletePiece(const std::wstring& path, std::wstring& reason) {
    const ULONGLONG since = GetTickCount64();
    while (GetTickCount64() - since < kPieceSettleMs) {
        uint64_t before = 0;
        uint64_t after = 0;
        if (!SizeOf(path, before)) {
            reason = FormatString(L"Backup database failed: the piece '%s' that Recovery Manager "
                                  L"named is not in the job folder",
                                  path.c_str());
            return false;
        }
        if (OpensAlone(path)) {
            Sleep(kSizeStandsMs);
            if (SizeOf(path, after) && after == before && OpensAlone(path))
                return true;
        }
        Sleep(kSizeStandsMs);
    }
    reason = FormatString(L"Backup database failed: the piece '%s' that Recovery Manager named "
                          L"stayed open for writing",
                          path.c_str());
    return false;
}

bool BackupJob::FailStream(const std::wstring& reason) {
    // Nothing more is streamed: the stream lacks its manifest, and any restore refuses it.
    state = State::Failed;
    plugin.Report(LogError, reason);
    return false;
}

void BackupJob::ReportProgress() {
    if (settings->pieceSizeMiB == 0)
        return;
    const uint64_t done = std::min<uint64_t>(packer.FilesDone(), givenPieces.size());
    if (done <= reportedPieces)
        return;
    uint64_t bytes = 0;
    uint64_t databaseBytes = 0;
    for (size_t i = 0; i < done; ++i) {
        bytes += givenPieces[i].bytes;
        if (givenPieces[i].database)
            databaseBytes += givenPieces[i].bytes;
    }
    reportedPieces = done;
    std::wstring text =
        FormatString(L"Streamed %I64u backup pieces, %I64u bytes so far", done, bytes);
    if (run.dataFileBytes > 0)
        text += FormatString(L"; about %I64u%% of the data files",
                             std::min<uint64_t>(100, databaseBytes * 100 / run.dataFileBytes));
    plugin.Report(LogProgress, text);
}

void BackupJob::NoteStagedBytes() {
    stagingPeak = std::max(stagingPeak, FolderBytes(settings->tempFolder));
}

int32_t BackupJob::Close(bool&) {
    const int packerResult = packer.Close();
    const bool failed = state == State::Failed;
    state = State::Closing;
    int32_t result = Success;
    if (failed) {
        // Read has reported why.
        result = Failure;
    } else if (packerResult != VIRid::DirPacker::Ok) {
        const std::wstring reason = packer.GetErrorText();
        plugin.Report(LogError, !reason.empty() ? reason : kStreamNotReadToEnd);
        result = Failure;
    } else if (settings->deleteArchivedLogs && !description.threads.empty()) {
        // The host holds the whole stream: the logs it carries may go, while the job's backup
        // records still count them as backed up.
        const LogRelease release = ReleaseArchivedLogs(*rman, description);
        for (const std::wstring& refusal : release.refusals)
            plugin.Report(LogWarning, refusal);
        plugin.Report(
            LogProgress,
            FormatString(L"Released %I64u archived logs that the stream holds", release.released));
    }
    // Runs whatever the packer answered: a database that the backup took offline must be opened
    // again even when the host stopped reading early.
    if (!RestoreDatabaseState())
        result = Failure;
    plugin.Report(LogProgress,
                  FormatString(L"Staging peak: the job folder held at most %I64u bytes at once",
                               stagingPeak));
    return result;
}

bool BackupJob::RestoreDatabaseState() {
    // A dump still under way (the host stopped reading early) or a Recovery Manager that ended
    // gives way to a fresh one for the closing steps.
    if (settings->pieceSizeMiB > 0 && (!dumpEnded || !rman->IsRunning())) {
        rman->Stop();
        static_cast<void>(rman->Start(*settings) && rman->Connect(*settings));
    }
    const bool closed = CompleteBackup(*rman, *settings, !broughtBack);
    if (closed && bringBackFailure.empty())
        return true;
    const std::wstring reason = bringBackFailure.empty() ? rman->GetErrorText() : bringBackFailure;
    plugin.Report(LogError,
                  FormatString(L"The database could not be %s again after the offline backup (%s); "
                               L"the backup stream itself is complete",
                               settings->shutDownAfterBackup ? L"shut down" : L"opened",
                               reason.c_str()));
    return false;
}

std::wstring BackupJob::CloseAtRelease() {
    const bool streamComplete = packer.Close() == VIRid::DirPacker::Ok;
    const bool broughtBackNow = RestoreDatabaseState();
    std::wstring done = streamComplete ? L"its stream had been read to its end"
                                       : L"its stream was not read to its end";
    if (settings->shutDownAfterBackup)
        done += broughtBackNow ? L"; the database was shut down again, as it was found"
                               : L"; the database could not be shut down again";
    else if (!settings->onlineBackup && settings->openAfterBackup)
        done += broughtBackNow ? L"; the database was opened again"
                               : L"; the database could not be opened again";
    return done;
}
