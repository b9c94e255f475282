// Writes "pid <its process id>" on a line, reads its standard input until it ends and then keeps
// running: it has to be ended by force.
#include <windows.h>

#include <cstdio>

int main() {
    char buffer[256];
    const int length = snprintf(buffer, sizeof(buffer), "pid %lu\n", GetCurrentProcessId());
    DWORD count = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), buffer, static_cast<DWORD>(length), &count, nullptr);
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof(buffer), &count, nullptr) &&
           count > 0) {
    }
    Sleep(INFINITE);
    return 0;
}
