// jobbench: backs a simulated instance up through the real plug-in into a stream file and
// restores it, and prints the time of each phase, the stream's rate and the peak memory.
//   jobbench [SIZE_MB] [FOLDER]      (default 2048 MB, in a folder under the temporary folder)
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

// Keeps the last error so that a failure can be explained; prints nothing else.
class QuietLogger : public PluginLogger {
public:
    void Log(int32_t level, const wchar_t* text) override {
        if (level == LogError)
            std::fwprintf(stderr, L"plug-in error: %ls\n", text);
    }
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

} // namespace

int wmain(int argc, wchar_t** argv) {
    const unsigned sizeMb =
        argc > 1 ? static_cast<unsigned>(std::wcstoul(argv[1], nullptr, 10)) : 2048;
    wchar_t tempBase[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, tempBase);
    const std::wstring folder =
        argc > 2 ? std::wstring(argv[2]) : std::wstring(tempBase) + L"jobbench";
    VIRid::filesystem::DeleteNonEmptyFolder(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"\\temp").c_str(), nullptr);

    const std::wstring home = std::wstring(kHomeName);
    RunSimoracle(L"remove-home " + home);
    std::printf("creating a %u MB instance...\n", sizeMb);
    std::fflush(stdout);
    std::string before;
    if (!RunSimoracle(L"home " + home + L" \"" + folder + L"\\home\"") ||
        !RunSimoracle(L"instance " + home + L" " + kSid + L" --user " + kUser + L" --password " +
                      kPassword + L" --size " + std::to_wstring(sizeMb)) ||
        !RunSimoracle(std::wstring(L"digest ") + kSid, &before))
        return Fail("creating the instance");

    PluginLibrary library;
    std::wstring error;
    if (!library.Load(ProgramFolder() + L"OraclePlugin.dll", error))
        return Fail("loading the plug-in");
    Settings settings;
    settings.values = {
        {L"WSTempPath", folder + L"\\temp\\"}, {L"UserName", kUser}, {L"Password", kPassword}};
    QuietLogger logger;
    const std::wstring item = std::wstring(kHomeName) + L"\\" + kSid;
    const std::wstring streamPath = folder + L"\\stream.pax";
    std::vector<unsigned char> buffer(kBlock);

    // Backup: the dump (Open), the stream (Read into a file), the closing steps (Close).
    PluginDataObject* source = library.GetBackupDataRead(&logger, &settings);
    uint32_t handle = 0;
    auto start = std::chrono::steady_clock::now();
    if (source->Open(item, 0, handle) != Success)
        return Fail("the backup's Open");
    const double dumpSeconds = Seconds(start);
    FILE* out = _wfopen(streamPath.c_str(), L"wb");
    uint64_t streamBytes = 0;
    start = std::chrono::steady_clock::now();
    for (;;) {
        uint32_t size = kBlock;
        const int32_t result = source->Read(buffer.data(), size, handle);
        if (result == EndOfData)
            break;
        if (result != Success || std::fwrite(buffer.data(), 1, size, out) != size)
            return Fail("reading the stream");
        streamBytes += size;
    }
    std::fclose(out);
    const double readSeconds = Seconds(start);
    start = std::chrono::steady_clock::now();
    if (source->Close(handle) != Success)
        return Fail("the backup's Close");
    const double completeSeconds = Seconds(start);
    source->Release();

    if (!RunSimoracle(std::wstring(L"wreck ") + kSid))
        return Fail("wrecking the database");

    // Restore: the stream (Write from the file), the restore itself (Close).
    PluginDataObject* sink = library.GetBackupDataWrite(&logger, &settings);
    if (sink->Open(item, 1, handle) != Success)
        return Fail("the restore's Open");
    FILE* in = _wfopen(streamPath.c_str(), L"rb");
    start = std::chrono::steady_clock::now();
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
    const double mb = static_cast<double>(streamBytes) / 1e6;
    std::printf("instance %u MB, stream %.1f MB\n", sizeMb, mb);
    std::printf("dump (Recovery Manager backup into the folder): %8.2f s\n", dumpSeconds);
    std::printf("stream read by the host:                       %8.2f s  %8.1f MB/s\n", readSeconds,
                mb / readSeconds);
    std::printf("closing steps of the backup:                   %8.2f s\n", completeSeconds);
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
