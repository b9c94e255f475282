// verify [--stats] FILE: checks a backup stream as a restore job does before Recovery Manager
// runs (framing, manifest, digests, a database piece, pieces of one database), with the
// plug-in's own unpacker and without the plug-in or a database, and shows what its description
// says it holds. The stream is unpacked block by block into a scratch folder, removed again
// whatever the outcome.
#include "rman/BackupDescription.h"
#include "rman/BackupPieceNames.h"
#include "rman/FolderFiles.h"
#include "rman/RecoveryPoint.h"
#include "tools/pluginhost/HostCommand.h"
#include "virid/DirPacker.h"
#include "virid/FileSystem.h"
#include "virid/FormatString.h"

#include <windows.h>

#include <psapi.h>

namespace {

// A new empty folder under the system's temporary folder, removed with its content at the end.
class ScratchFolder {
public:
    ScratchFolder() {
        wchar_t base[MAX_PATH + 1] = {};
        if (GetTempPathW(MAX_PATH + 1, base) == 0)
            return;
        for (unsigned attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const std::wstring path =
                FormatString(L"%spluginhost-verify-%lu-%llu-%u", base, GetCurrentProcessId(),
                             static_cast<unsigned long long>(GetTickCount64()), attempt);
            if (CreateDirectoryW(path.c_str(), nullptr))
                path_ = path;
        }
    }
    ~ScratchFolder() {
        if (!path_.empty() && !VIRid::filesystem::DeleteNonEmptyFolder(path_))
            PrintText(stderr, L"pluginhost: cannot remove the scratch folder '" + path_ + L"'\n");
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

// Unpacks the whole stream; false with the reason when a restore would refuse it.
bool Unpack(FILE* input, const std::wstring& path, const std::wstring& folder, uint64_t& total,
            std::wstring& reason) {
    VIRid::DirPacker packer;
    if (packer.Open(folder, false) != VIRid::DirPacker::Ok) {
        reason = packer.GetErrorText();
        return false;
    }
    std::vector<unsigned char> buffer(kBlockSize);
    for (;;) {
        uint32_t size = static_cast<uint32_t>(std::fread(buffer.data(), 1, kBlockSize, input));
        if (size == 0) {
            if (std::ferror(input)) {
                reason = FormatString(L"reading '%s' failed", path.c_str());
                return false;
            }
            break;
        }
        total += size;
        if (packer.Write(buffer.data(), size) != VIRid::DirPacker::Ok)
            break;
    }
    if (packer.Close() == VIRid::DirPacker::Ok)
        return true;
    reason = packer.GetErrorText();
    return false;
}

void PrintPieces(const wchar_t* kind, const std::vector<FolderFile>& files) {
    for (const FolderFile& file : files)
        PrintText(stdout,
                  FormatString(L"  %-12s %14llu  %s\n", kind,
                               static_cast<unsigned long long>(file.size), file.name.c_str()));
}

void PrintPeakMemory() {
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory))
        PrintText(stderr,
                  FormatString(L"pluginhost: peak working set %.1f MB, peak private "
                               L"bytes %.1f MB\n",
                               memory.PeakWorkingSetSize / 1e6, memory.PeakPagefileUsage / 1e6));
}

// The stream's description, as read from the unpacked folder.
struct Described {
    DescriptionFound found = DescriptionFound::No;
    BackupDescription description;
    std::wstring error;

    // The kind of backup it tells; a stream without one is taken for a full one.
    BackupKind Kind() const {
        return found == DescriptionFound::Yes ? description.kind : BackupKind::Full;
    }
};

void PrintDescription(const Described& described) {
    const BackupDescription& description = described.description;
    if (described.found == DescriptionFound::No) {
        PrintText(stdout, L"described as: nothing (a stream made before descriptions, or by "
                          L"hand)\n");
        return;
    }
    if (described.found == DescriptionFound::Unreadable) {
        PrintText(stdout, L"described as: nothing readable: " + described.error + L"\n");
        return;
    }
    PrintText(stdout, FormatString(L"described as: %s backup of %s, DBID %s, tag %s\n",
                                   BackupKindName(description.kind), description.dbName.c_str(),
                                   description.dbid.c_str(), description.tag.c_str()));
    if (description.datafileBackupEnd != 0)
        PrintText(stdout, FormatString(L"  datafile backup end: SCN %I64u\n",
                                       description.datafileBackupEnd));
    for (const ThreadLogs& logs : description.threads)
        PrintText(stdout, FormatString(L"  thread %I64u: %s\n", logs.thread,
                                       DescribeThreadLogs(logs).c_str()));
}

int Verdict(bool accepted, BackupKind kind, const std::wstring& reason) {
    if (!accepted)
        PrintText(stdout, L"verdict: refused: " + reason + L"\n");
    else if (kind == BackupKind::Full)
        PrintText(stdout, L"verdict: accepted: a restore would take this stream\n");
    else
        PrintText(stdout, L"verdict: sound: the archived logs are whole and of one database; a "
                          L"restore applies them after the streams before them in a chain\n");
    return accepted ? kExitSuccess : kExitFailure;
}

// Reads the unpacked stream of folder: its description and its pieces; prints what it holds and
// the verdict.
int Examine(const std::wstring& folder, uint64_t total, Described& described) {
    described.found = ReadBackupDescription(folder, described.description, described.error);
    BackupPieces pieces;
    std::wstring reason;
    if (!ReadBackupPieces(ListFolderFiles(folder), PieceNameTemplatesOf(OracleSettings()), pieces,
                          reason, described.Kind())) {
        PrintDescription(described);
        return Verdict(false, described.Kind(), reason);
    }
    const std::wstring& date = pieces.date;
    PrintText(stdout,
              FormatString(L"database %s, DBID %s, backup of %s-%s-%s\n", pieces.dbName.c_str(),
                           pieces.dbid.c_str(), date.substr(0, 4).c_str(),
                           date.substr(4, 2).c_str(), date.substr(6, 2).c_str()));
    PrintDescription(described);
    PrintText(stdout,
              FormatString(L"stream of %llu bytes:\n", static_cast<unsigned long long>(total)));
    PrintPieces(L"spfile", pieces.spFile);
    PrintPieces(L"controlfile", pieces.controlFile);
    PrintPieces(L"database", pieces.database);
    PrintPieces(L"archivelog", pieces.archiveLog);
    PrintPieces(L"other", pieces.other);
    return Verdict(true, described.Kind(), L"");
}

// Unpacks the stream of path into a scratch folder and examines it (examined: null to read its
// description only). False, with the reason, when it cannot be read or unpacked.
bool OpenStream(const std::wstring& path, Described& described, int* examined,
                std::wstring& reason) {
    FILE* input = OpenStreamFile(path, false);
    if (input == nullptr) {
        reason = FormatString(L"cannot read '%s'", path.c_str());
        return false;
    }
    bool unpacked = false;
    {
        ScratchFolder scratch;
        uint64_t total = 0;
        if (scratch.Path().empty())
            reason = L"cannot create a scratch folder";
        else
            unpacked = Unpack(input, path, scratch.Path(), total, reason);
        if (unpacked && examined != nullptr)
            *examined = Examine(scratch.Path(), total, described);
        else if (unpacked)
            described.found =
                ReadBackupDescription(scratch.Path(), described.description, described.error);
    }
    if (input != stdin)
        std::fclose(input);
    return unpacked;
}

} // namespace

bool ReadStreamDescription(const std::wstring& path, BackupDescription& description,
                           std::wstring& error) {
    Described described;
    if (!OpenStream(path, described, nullptr, error))
        return false;
    if (described.found != DescriptionFound::Yes) {
        error = described.found == DescriptionFound::No
                    ? L"it carries no description (made before descriptions, or by hand)"
                    : described.error;
        return false;
    }
    description = described.description;
    return true;
}

int RunVerifyCommand(const std::vector<std::wstring>& args) {
    const bool stats = !args.empty() && args[0] == L"--stats";
    const std::vector<std::wstring> paths(args.begin() + (stats ? 1 : 0), args.end());
    if (paths.empty())
        return kExitUsage;
    int status = kExitSuccess;
    std::vector<BackupDescription> chain;
    bool described = true;
    for (const std::wstring& path : paths) {
        if (paths.size() > 1)
            PrintText(stdout, FormatString(L"%s:\n", path.c_str()));
        Described stream;
        std::wstring reason;
        int examined = kExitFailure;
        if (!OpenStream(path, stream, &examined, reason))
            examined = Verdict(false, BackupKind::Full, reason);
        status = examined != kExitSuccess ? kExitFailure : status;
        described = described && stream.found == DescriptionFound::Yes;
        chain.push_back(stream.description);
    }
    // Several streams: whether they form a chain, and which points it covers.
    if (paths.size() > 1) {
        StreamPoint earliest, latest;
        std::wstring reason;
        if (!described)
            reason = L"a stream carries no description, so its logs are not known";
        if (described && CheckBackupChain(chain, earliest, latest, reason)) {
            PrintText(stdout,
                      FormatString(L"chain: complete: a restore recovers to any point from %s up "
                                   L"to, not including, %s\n",
                                   DescribeStreamPoint(earliest).c_str(),
                                   DescribeStreamPoint(latest).c_str()));
        } else {
            PrintText(stdout, L"chain: refused: " + reason + L"\n");
            status = kExitFailure;
        }
    }
    if (stats)
        PrintPeakMemory();
    return status;
}
