// Writes "leaving" on a line and exits with code 7 without waiting for anything. With the
// argument 259 it exits with that code (the value of STILL_ACTIVE) instead.
#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "leaving\n", 8, &written, nullptr);
    return argc > 1 && strcmp(argv[1], "259") == 0 ? 259 : 7;
}
