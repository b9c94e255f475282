// flood_child <lines>: writes "out <n>" lines to its standard output and, at the same time from a
// second thread, "err <n>" lines to its standard error, n from 0 to lines - 1 written as eight
// digits, in blocks of 64 KB; then exits with code 0.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

unsigned g_lines = 0;

void Flood(HANDLE stream, const char* prefix) {
    std::string text;
    char line[32];
    for (unsigned n = 0; n < g_lines; ++n) {
        snprintf(line, sizeof(line), "%s %08u\n", prefix, n);
        text += line;
    }
    const size_t block = 64 * 1024;
    for (size_t at = 0; at < text.size(); at += block) {
        const DWORD size = static_cast<DWORD>(text.size() - at < block ? text.size() - at : block);
        DWORD written = 0;
        if (!WriteFile(stream, text.data() + at, size, &written, nullptr))
            ExitProcess(2);
    }
}

DWORD WINAPI FloodStderr(void*) {
    Flood(GetStdHandle(STD_ERROR_HANDLE), "err");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 3;
    g_lines = static_cast<unsigned>(strtoul(argv[1], nullptr, 10));
    const HANDLE errThread = CreateThread(nullptr, 0, FloodStderr, nullptr, 0, nullptr);
    Flood(GetStdHandle(STD_OUTPUT_HANDLE), "out");
    WaitForSingleObject(errThread, INFINITE);
    return 0;
}
