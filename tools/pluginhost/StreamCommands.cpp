// backup ITEM FILE and restore ITEM FILE: a whole job through the plug-in, the stream kept in a
// file ("-": standard output or input).
#include "tools/pluginhost/HostCommand.h"

#include "rman/RecoveryPoint.h"
#include "tools/pluginhost/ProgressMeter.h"
#include "virid/FormatString.h"

#include <windows.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <vector>

namespace {

void Fail(const std::wstring& reason) {
    PrintText(stderr, L"pluginhost: " + reason + L"\n");
}

// Where a backup writes its stream until it is complete: a partial stream must not pass for a
// backup, nor replace the one that FILE held before.
std::wstring PartialStreamPath(const std::wstring& path) {
    return path == L"-" ? path : path + L".part";
}

// Closes a backup's stream file; it becomes FILE only when the whole backup succeeded, and goes
// otherwise. True when the stream is complete on disk under its name.
bool CloseStreamFile(FILE* output, const std::wstring& path, bool complete) {
    if (std::fflush(output) != 0)
        complete = false;
    if (output != stdout && std::fclose(output) != 0)
        complete = false;
    if (path == L"-")
        return complete;
    const std::wstring partial = PartialStreamPath(path);
    if (complete && !MoveFileExW(partial.c_str(), path.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Fail(FormatString(L"the stream could not be renamed from '%s' to '%s'", partial.c_str(),
                          path.c_str()));
        complete = false;
    }
    if (!complete)
        DeleteFileW(partial.c_str());
    return complete;
}

} // namespace

FILE* OpenStreamFile(const std::wstring& path, bool forWriting) {
    if (path == L"-") {
        FILE* standard = forWriting ? stdout : stdin;
        _setmode(_fileno(standard), _O_BINARY);
        return standard;
    }
    return _wfopen(path.c_str(), forWriting ? L"wb" : L"rb");
}

int RunBackupCommand(HostContext& context, const std::vector<std::wstring>& args) {
    if (args.size() != 2)
        return kExitUsage;
    const std::wstring& item = args[0];
    const std::wstring& path = args[1];
    FILE* output = OpenStreamFile(PartialStreamPath(path), true);
    if (output == nullptr) {
        Fail(FormatString(L"cannot write '%s'", PartialStreamPath(path).c_str()));
        return kExitFailure;
    }
    PluginDataObject* source = CreateDataSource(context);
    if (source == nullptr) {
        CloseStreamFile(output, path, false);
        return kExitFailure;
    }
    uint32_t handle = 0;
    const int32_t opened = source->Open(item, 0, handle);
    bool ok = opened == Success;
    if (!ok)
        Fail(FormatString(L"the backup of '%s' could not be opened (result %d)", item.c_str(),
                          opened));

    uint64_t total = 0;
    if (ok) {
        std::vector<unsigned char> buffer(kBlockSize);
        ProgressMeter meter(L"backup");
        for (;;) {
            uint32_t size = kBlockSize;
            const int32_t result = source->Read(buffer.data(), size, handle);
            if (result == EndOfData)
                break;
            if (result != Success) {
                Fail(FormatString(L"reading the backup stream failed (result %d)", result));
                ok = false;
                break;
            }
            if (std::fwrite(buffer.data(), 1, size, output) != size) {
                Fail(FormatString(L"writing '%s' failed", PartialStreamPath(path).c_str()));
                ok = false;
                break;
            }
            total += size;
            meter.Update(total);
        }
        meter.Finish(total);
        // The job is closed even after a failure: its closing steps reopen the database.
        const int32_t closed = source->Close(handle);
        if (closed != Success) {
            Fail(FormatString(L"closing the backup job failed (result %d)", closed));
            ok = false;
        }
    }
    source->Release();
    return CloseStreamFile(output, path, ok) ? kExitSuccess : kExitFailure;
}

namespace {

// Restores one stream with the host's settings as they stand.
bool RestoreStream(HostContext& context, const std::wstring& item, const std::wstring& path) {
    FILE* input = OpenStreamFile(path, false);
    if (input == nullptr) {
        Fail(FormatString(L"cannot read '%s'", path.c_str()));
        return kExitFailure;
    }
    PluginDataObject* sink = CreateDataSink(context);
    if (sink == nullptr) {
        if (input != stdin)
            std::fclose(input);
        return kExitFailure;
    }
    uint32_t handle = 0;
    const int32_t opened = sink->Open(item, 1, handle);
    bool ok = opened == Success;
    if (!ok)
        Fail(FormatString(L"the restore of '%s' could not be opened (result %d)", item.c_str(),
                          opened));
    if (ok) {
        std::vector<unsigned char> buffer(kBlockSize);
        uint64_t total = 0;
        ProgressMeter meter(L"restore");
        for (;;) {
            uint32_t size = static_cast<uint32_t>(std::fread(buffer.data(), 1, kBlockSize, input));
            if (size == 0) {
                if (std::ferror(input)) {
                    Fail(FormatString(L"reading '%s' failed", path.c_str()));
                    ok = false;
                }
                break;
            }
            const int32_t result = sink->Write(buffer.data(), size, handle);
            if (result != Success) {
                Fail(FormatString(L"the plug-in refused the stream (result %d)", result));
                ok = false;
                break;
            }
            total += size;
            meter.Update(total);
        }
        meter.Finish(total);
        // Closing runs the restore; after a failure it only cleans up (the stream is not
        // complete, so nothing reaches the database).
        const int32_t closed = sink->Close(handle);
        if (closed != Success) {
            Fail(FormatString(L"the restore failed (result %d)", closed));
            ok = false;
        }
    }
    sink->Release();
    if (input != stdin)
        std::fclose(input);
    return ok;
}

} // namespace

// restore ITEM FILE [FILE...] [--until-time T | --until-scn N]: a chain is checked from the
// streams' descriptions before anything starts; every job but the last leaves the database
// mounted, and every job recovers no further than the point, so that a point inside an earlier
// stream is kept.
int RunRestoreCommand(HostContext& context, const std::vector<std::wstring>& args) {
    std::vector<std::wstring> files;
    std::wstring pointSetting;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == L"--until-time" || args[i] == L"--until-scn") {
            if (i + 1 >= args.size() || !pointSetting.empty())
                return kExitUsage;
            const std::wstring key =
                args[i] == L"--until-time" ? L"RecoverUntilTime=" : L"RecoverUntilScn=";
            pointSetting = key + args[++i];
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() < 2)
        return kExitUsage;
    const std::wstring item = files.front();
    files.erase(files.begin());
    if (files.size() > 1) {
        std::vector<BackupDescription> chain;
        for (const std::wstring& file : files) {
            BackupDescription description;
            std::wstring error;
            if (!ReadStreamDescription(file, description, error)) {
                Fail(FormatString(L"the chain cannot be checked: '%s': %s", file.c_str(),
                                  error.c_str()));
                return kExitFailure;
            }
            chain.push_back(description);
        }
        StreamPoint earliest, latest;
        std::wstring error;
        if (!CheckBackupChain(chain, earliest, latest, error)) {
            Fail(L"the streams do not form a chain: " + error + L"; nothing was restored");
            return kExitFailure;
        }
    }
    if (!pointSetting.empty())
        context.settings.Add(pointSetting);
    for (size_t i = 0; i < files.size(); ++i) {
        if (files.size() > 1)
            context.settings.Add(i + 1 < files.size() ? L"OpenAfterRestore=no"
                                                      : L"OpenAfterRestore=yes");
        if (!RestoreStream(context, item, files[i])) {
            if (files.size() > 1)
                Fail(FormatString(L"the chain stopped at stream %llu of %llu, '%s'",
                                  static_cast<unsigned long long>(i + 1),
                                  static_cast<unsigned long long>(files.size()), files[i].c_str()));
            return kExitFailure;
        }
    }
    return kExitSuccess;
}
