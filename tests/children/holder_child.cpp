// Starts a copy of itself (argument "hold") that inherits its standard handles and only sleeps
// for 8 s, writes "started" on a line and exits: the copy keeps the output pipes open after this
// process has ended, as a program started by Recovery Manager's host command can.
#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
    if (argc > 1 && strcmp(argv[1], "hold") == 0) {
        Sleep(8000);
        return 0;
    }
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    wchar_t commandLine[MAX_PATH + 16];
    wcscpy(commandLine, L"\"");
    wcscat(commandLine, path);
    wcscat(commandLine, L"\" hold");
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process))
        return 2;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "started\n", 8, &written, nullptr);
    return 0;
}
