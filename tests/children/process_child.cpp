// The child of the process tests; its first argument chooses what it does:
//   read       writes "pid <id>", reads standard input to its end, then exits 0;
//   stubborn   writes "pid <id>", reads standard input to its end, then runs until ended;
//   hold       starts a copy of itself that inherits its standard handles and sleeps 8 s, writes
//              "started" and exits with 259 (the value of STILL_ACTIVE): the copy holds the
//              pipes, as a program that Recovery Manager's host command starts can;
//   flood <n>  writes lines "out <i>" to standard output and, from a second thread, "err <i>" to
//              standard error, i from 0 to n - 1 in eight digits, in blocks of 64 KB; exits 0.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

unsigned g_lines = 0;

void Write(HANDLE stream, const char* text, size_t size) {
    DWORD written = 0;
    if (!WriteFile(stream, text, static_cast<DWORD>(size), &written, nullptr))
        ExitProcess(2);
}

void Flood(DWORD standardHandle, const char* prefix) {
    std::string text;
    char line[32];
    for (unsigned n = 0; n < g_lines; ++n) {
        snprintf(line, sizeof(line), "%s %08u\n", prefix, n);
        text += line;
    }
    for (size_t at = 0; at < text.size(); at += 64 * 1024)
        Write(GetStdHandle(standardHandle), text.data() + at,
              std::min<size_t>(64 * 1024, text.size() - at));
}

DWORD WINAPI FloodStderr(void*) {
    Flood(STD_ERROR_HANDLE, "err");
    return 0;
}

int Hold() {
    wchar_t path[MAX_PATH];
    std::wstring commandLine = L"\"";
    commandLine.append(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    commandLine += L"\" sleep";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process))
        return 2;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    Write(startup.hStdOutput, "started\n", 8);
    return 259;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (mode == "hold")
        return Hold();
    if (mode == "sleep") {
        Sleep(8000);
        return 0;
    }
    if (mode == "flood") {
        g_lines = argc > 2 ? static_cast<unsigned>(strtoul(argv[2], nullptr, 10)) : 0;
        const HANDLE errThread = CreateThread(nullptr, 0, FloodStderr, nullptr, 0, nullptr);
        Flood(STD_OUTPUT_HANDLE, "out");
        WaitForSingleObject(errThread, INFINITE);
        return 0;
    }
    char buffer[4096];
    Write(out, buffer, snprintf(buffer, sizeof(buffer), "pid %lu\n", GetCurrentProcessId()));
    DWORD count = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof(buffer), &count, nullptr) &&
           count > 0)
        continue;
    if (mode == "stubborn")
        Sleep(INFINITE);
    return 0;
}
