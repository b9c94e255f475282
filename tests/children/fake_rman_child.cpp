// Stands in for rman.exe where a test needs to see how it was started: writes its command line,
// the environment values ORACLE_SID, ORACLE_HOME, NLS_LANG and NLS_DATE_FORMAT, and whether its own
// process object has a DACL ("dacl present", "dacl null" or "dacl unreadable"), one a line, then
// the prompt "RMAN> ". Each line of input is answered with the prompt again; it exits at the end of
// its input. With ORACLE_SID set to FLOOD it writes numbered lines without end after the prompt
// instead, until it is ended.
#include <windows.h>

#include <aclapi.h>

#include <string>

namespace {

void Write(const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
}

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? size - 1 : 0, '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, &bytes[0], size, nullptr, nullptr);
    return bytes;
}

std::string Variable(const wchar_t* name) {
    wchar_t value[1024];
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length == 0 || length >= 1024 ? "<unset>" : Utf8(value);
}

const char* DaclState() {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(GetCurrentProcess(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                        nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return "dacl unreadable";
    const char* state = dacl ? "dacl present" : "dacl null";
    LocalFree(descriptor);
    return state;
}

} // namespace

int main() {
    Write("command line " + Utf8(GetCommandLineW()) + "\n");
    Write("ORACLE_SID=" + Variable(L"ORACLE_SID") + "\n");
    Write("ORACLE_HOME=" + Variable(L"ORACLE_HOME") + "\n");
    Write("NLS_LANG=" + Variable(L"NLS_LANG") + "\n");
    Write("NLS_DATE_FORMAT=" + Variable(L"NLS_DATE_FORMAT") + "\n");
    Write(std::string(DaclState()) + "\n");
    Write("RMAN> ");
    if (Variable(L"ORACLE_SID") == "FLOOD")
        for (unsigned n = 0;; ++n)
            Write("line " + std::to_string(n) + "\n");
    char buffer[256];
    DWORD count = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof(buffer), &count, nullptr) &&
           count > 0)
        for (DWORD i = 0; i < count; ++i)
            if (buffer[i] == '\n')
                Write("RMAN> ");
    return 0;
}
