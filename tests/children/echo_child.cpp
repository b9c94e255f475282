// Writes "pid <its process id>" on a line, then copies its standard input to its standard output
// until the input ends, and exits with code 0.
#include <windows.h>

#include <cstdio>

int main() {
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    char buffer[4096];
    const int length = snprintf(buffer, sizeof(buffer), "pid %lu\n", GetCurrentProcessId());
    DWORD count = 0;
    WriteFile(out, buffer, static_cast<DWORD>(length), &count, nullptr);
    while (ReadFile(in, buffer, sizeof(buffer), &count, nullptr) && count > 0) {
        DWORD written = 0;
        if (!WriteFile(out, buffer, count, &written, nullptr))
            return 2;
    }
    return 0;
}
