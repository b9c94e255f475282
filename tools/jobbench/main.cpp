// jobbench: backs a simulated instance up through the real plug-in into a stream file, both ways
// (the whole backup written before it is streamed, PieceSize=0, and streamed piece by piece),
// and restores the streamed one; prints for each way the backup window (from Open to the last
// byte read) and the staging peak (the most bytes that the job folder held), their ratios, the
// time of the restore and the host's peak memory.
//   jobbench [SIZE_MB] [FOLDER] [--dump-rate MBPS] [--read-rate MBPS] [--piece-size MIB]
// SIZE_MB: 2048 by default; FOLDER: one under the temporary folder; the rates (megabytes a
// second) hold Recovery Manager's writing and the host's reading, as fast as they can without;
// the piece size of the streamed way is 64 MiB by default.
#include "plugin/PluginContract.h"
#include "tools/pluginclient/PluginLibrary.h"
#include "virid/FileSystem.h"
#include "virid/Win32Handles.h"

#include <windows.h>

#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace {

const wchar_t kHomeName[] = L"JobBenchHome";
const wchar_t kSid[] = L"BENCH";
const wchar_t kUser[] = L"system";
const wchar_t kPassword[] = L"bench";
const uint32_t kBlock = 1024 * 1024;

class Settings : public PluginSettingsSource {
public:
    std::map<std::wstring, std::wstring> values;
    bool GetValue(const wchar_t* key, std::wstring* value) override {
        const auto found = values.find(key);
        if (found == values.end())
            return false;
        *value = found->second;
        return true;
    }
};

// Prints the errors, so that a failure can be explained, and keeps the staging peak that a
// backup's Close reports; nothing else.
class QuietLogger : public PluginLogger {
public:
    void Log(int32_t level, const wchar_t* text) override {
        if (level == LogError)
            std::fwprintf(stderr, L"plug-in error: %ls\n", text);
        const wchar_t kPeak[] = L"Staging peak: the job folder held at most ";
        if (level == LogProgress && std::wcsncmp(text, kPeak, std::wcslen(kPeak)) == 0)
            stagingPeak = std::wcstoull(text + std::wcslen(kPeak), nullptr, 10);
    }
    uint64_t stagingPeak = 0;
};

struct BackupFigures {
    double window = 0;  // seconds from Open to the last byte read
    double opening = 0; // seconds in Open
    uint64_t bytes = 0;
    uint64_t stagingPeak = 0;
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The simulated database is set up and checked by simoracle.exe in processes of its own, so
// that the peak memory measured here is the host's and the plug-in's alone.
bool RunSimoracle(const std::wstring& arguments, std::string* output = nullptr) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    VIRid::UniqueHandle readEnd;
    VIRid::UniqueHandle writeEnd;
    if (!CreatePipe(readEnd.receive(), writeEnd.receive(), &inherit, 0))
        return false;
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::wstring commandLine = L"\"" + ProgramFolder() + L"simoracle.exe\" " + arguments;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &started))
        return false;
    const VIRid::UniqueHandle process(started.hProcess);
    const VIRid::UniqueHandle thread(started.hThread);
    // Only the child may hold the write end now, so that the read ends with the child.
    writeEnd.reset();
    std::string text;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(readEnd.get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
        text.append(chunk, got);
    WaitForSingleObject(process.get(), INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.get(), &exitCode);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    if (output != nullptr)
        *output = text;
    return exitCode == 0;
}

int Fail(const char* what) {
    std::fprintf(stderr, "jobbench: %s failed\n", what);
    return 1;
}

// A backup through the plug-in into streamPath, the host reading at most readRate megabytes a
// second (0: as fast as it can).
bool TimedBackup(PluginLibrary& library, Settings& settings, const std::wstring& item,
                 const std::wstring& streamPath, double readRate, BackupFigures& figures) {
    QuietLogger logger;
    std::vector<unsigned char> buffer(kBlock);
    // The host has its destination ready before it opens the job: removing an earlier stream of
    // a gigabyte takes Wine a second or two, which would leave the host idle while the dump runs.
    DeleteFileW(streamPath.c_str());
    FILE* out = _wfopen(streamPath.c_str(), L"wb");
    if (out == nullptr)
        return Fail("creating the stream's file"), false;
    PluginDataObject* source = library.GetBackupDataRead(&logger, &settings);
    uint32_t handle = 0;
    const auto start = std::chrono::steady_clock::now();
    if (source->Open(item, 0, handle) != Success)
        return std::fclose(out), Fail("the backup's Open"), false;
    figures.opening = Seconds(start);
    figures.bytes = 0;
    for (;;) {
        uint32_t size = kBlock;
        const int32_t result = source->Read(buffer.data(), size, handle);
        if (result == EndOfData)
            break;
        if (result != Success || std::fwrite(buffer.data(), 1, size, out) != size)
            return std::fclose(out), Fail("reading the stream"), false;
        figures.bytes += size;
        // The host's own pace: the bytes read so far are due no sooner than this.
        const double due = readRate > 0 ? static_cast<double>(figures.bytes) / (readRate * 1e6) : 0;
        const double elapsed = Seconds(start) - figures.opening;
        if (due > elapsed)
            Sleep(static_cast<DWORD>((due - elapsed) * 1000));
    }
    figures.window = Seconds(start);
    std::fclose(out);
    const bool closed = source->Close(handle) == Success;
    source->Release();
    figures.stagingPeak = logger.stagingPeak;
    return closed || (Fail("the backup's Close"), false);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    unsigned sizeMb = 2048;
    double dumpRate = 0;
    double readRate = 0;
    unsigned long pieceSize = 64;
    wchar_t tempBase[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, tempBase);
    std::wstring folder = std::wstring(tempBase) + L"jobbench";
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--dump-rate" && hasValue)
            dumpRate = std::wcstod(argv[++i], nullptr);
        else if (arg == L"--read-rate" && hasValue)
            readRate = std::wcstod(argv[++i], nullptr);
        else if (arg == L"--piece-size" && hasValue)
            pieceSize = std::wcstoul(argv[++i], nullptr, 10);
        else if (positional++ == 0)
            sizeMb = static_cast<unsigned>(std::wcstoul(argv[i], nullptr, 10));
        else
            folder = arg;
    }
    if (pieceSize == 0) {
        std::fprintf(stderr, "jobbench: --piece-size takes 1 MiB or more\n");
        return 2;
    }
    VIRid::filesystem::DeleteNonEmptyFolder(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"\\temp").c_str(), nullptr);

    const std::wstring home = std::wstring(kHomeName);
    RunSimoracle(L"remove-home " + home);
    std::printf("creating a %u MB instance...\n", sizeMb);
    std::fflush(stdout);
    std::string before;
    const std::wstring rate = dumpRate > 0 ? L" --rate " + std::to_wstring(dumpRate) : L"";
    if (!RunSimoracle(L"home " + home + L" \"" + folder + L"\\home\"") ||
        !RunSimoracle(L"instance " + home + L" " + kSid + L" --user " + kUser + L" --password " +
                      kPassword + L" --size " + std::to_wstring(sizeMb) + rate) ||
        !RunSimoracle(std::wstring(L"digest ") + kSid, &before))
        return Fail("creating the instance");

    PluginLibrary library;
    std::wstring error;
    if (!library.Load(ProgramFolder() + L"OraclePlugin.dll", error))
        return Fail("loading the plug-in");
    Settings settings;
    settings.values = {
        {L"WSTempPath", folder + L"\\temp\\"}, {L"UserName", kUser}, {L"Password", kPassword}};
    const std::wstring item = std::wstring(kHomeName) + L"\\" + kSid;
    const std::wstring streamPath = folder + L"\\stream.pax";
    std::vector<unsigned char> buffer(kBlock);

    // The same database backed up both ways; the streamed stream is the one restored.
    BackupFigures whole;
    BackupFigures streamed;
    settings.values[L"PieceSize"] = L"0";
    if (!TimedBackup(library, settings, item, streamPath, readRate, whole))
        return 1;
    settings.values[L"PieceSize"] = std::to_wstring(pieceSize);
    if (!TimedBackup(library, settings, item, streamPath, readRate, streamed))
        return 1;
    if (!RunSimoracle(std::wstring(L"wreck ") + kSid))
        return Fail("wrecking the database");

    // Restore: the stream (Write from the file), the restore itself (Close).
    QuietLogger logger;
    PluginDataObject* sink = library.GetBackupDataWrite(&logger, &settings);
    uint32_t handle = 0;
    if (sink->Open(item, 1, handle) != Success)
        return Fail("the restore's Open");
    FILE* in = _wfopen(streamPath.c_str(), L"rb");
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        uint32_t size = static_cast<uint32_t>(std::fread(buffer.data(), 1, kBlock, in));
        if (size == 0)
            break;
        if (sink->Write(buffer.data(), size, handle) != Success)
            return Fail("writing the stream");
    }
    std::fclose(in);
    const double writeSeconds = Seconds(start);
    start = std::chrono::steady_clock::now();
    if (sink->Close(handle) != Success)
        return Fail("the restore's Close");
    const double restoreSeconds = Seconds(start);
    sink->Release();
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::string after;
    RunSimoracle(std::wstring(L"digest ") + kSid, &after);
    const double mb = static_cast<double>(streamed.bytes) / 1e6;
    const auto rateText = [](double rateMbps) {
        char text[32] = "unlimited";
        if (rateMbps > 0)
            std::snprintf(text, sizeof text, "%g MB/s", rateMbps);
        return std::string(text);
    };
    std::printf("instance %u MB, stream %.1f MB; dump rate %s, host read rate %s\n", sizeMb, mb,
                rateText(dumpRate).c_str(), rateText(readRate).c_str());
    std::printf("whole dump first (PieceSize=0):  window %8.2f s (Open %6.2f s)  staging peak "
                "%8.1f MiB\n",
                whole.window, whole.opening, whole.stagingPeak / 1048576.0);
    std::printf("streamed (PieceSize=%lu):%*s window %8.2f s (Open %6.2f s)  staging peak %8.1f "
                "MiB\n",
                pieceSize, static_cast<int>(8 - std::to_string(pieceSize).size()), "",
                streamed.window, streamed.opening, streamed.stagingPeak / 1048576.0);
    std::printf("streamed / whole: window %.2f, staging peak %.3f\n",
                streamed.window / whole.window,
                static_cast<double>(streamed.stagingPeak) /
                    static_cast<double>(whole.stagingPeak > 0 ? whole.stagingPeak : 1));
    std::printf("stream written by the host:                    %8.2f s  %8.1f MB/s\n",
                writeSeconds, mb / writeSeconds);
    std::printf("restore (Recovery Manager, on Close):          %8.2f s\n", restoreSeconds);
    std::printf("host peak working set:                         %8.1f MB\n",
                memory.PeakWorkingSetSize / 1e6);
    std::printf("digest after restore %s the one before\n",
                before == after ? "equals" : "DIFFERS FROM");

    RunSimoracle(L"remove-home " + home);
    VIRid::filesystem::DeleteNonEmptyFolder(folder);
    return before == after ? 0 : 1;
}
