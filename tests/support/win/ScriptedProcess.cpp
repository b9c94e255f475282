#include "tests/support/win/ScriptedProcess.h"

#include "rman/RmanEnvironment.h"
#include "tools/simdb/FileIo.h"
#include "virid/Win32Handles.h"

#include <thread>

namespace testing_support {

namespace {

// A pipe whose parent end is not inherited; childReads: the child reads from it.
bool MakePipe(VIRid::UniqueHandle& parentEnd, VIRid::UniqueHandle& childEnd, bool childReads) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE ends[2] = {}; // read, write
    if (!CreatePipe(&ends[0], &ends[1], &inherit, 0))
        return false;
    parentEnd.reset(ends[childReads ? 1 : 0]);
    childEnd.reset(ends[childReads ? 0 : 1]);
    return SetHandleInformation(parentEnd.get(), HANDLE_FLAG_INHERIT, 0) != 0;
}

void ReadAll(HANDLE pipe, std::string& into, unsigned* reads) {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        into.append(buffer, got);
        if (reads != nullptr)
            ++*reads;
    }
}

} // namespace

ScriptedRun RunScripted(const std::wstring& commandLine,
                        const std::vector<std::pair<std::wstring, std::wstring>>& environment,
                        const std::string& script, unsigned long timeoutMs) {
    ScriptedRun run;
    VIRid::UniqueHandle parentEnds[3]; // standard input, output, error
    VIRid::UniqueHandle childEnds[3];
    for (int i = 0; i < 3; ++i)
        if (!MakePipe(parentEnds[i], childEnds[i], i == 0))
            return run;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childEnds[0].get();
    startup.hStdOutput = childEnds[1].get();
    startup.hStdError = childEnds[2].get();
    PROCESS_INFORMATION process = {};
    std::wstring line = commandLine;
    std::vector<std::wstring> current;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry != 0; entry += wcslen(entry) + 1)
        current.push_back(entry);
    FreeEnvironmentStringsW(strings);
    std::wstring block = EnvironmentBlock(current, environment);
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE,
                        CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, &block[0], nullptr, &startup,
                        &process))
        return run;
    VIRid::UniqueHandle child(process.hProcess);
    VIRid::UniqueHandle thread(process.hThread);
    for (VIRid::UniqueHandle& end : childEnds)
        end.reset();

    std::thread outputReader(ReadAll, parentEnds[1].get(), std::ref(run.output), &run.outputReads);
    std::thread errorReader(ReadAll, parentEnds[2].get(), std::ref(run.errors), nullptr);
    std::thread writer([&parentEnds, &script] {
        DWORD written = 0;
        if (!script.empty())
            WriteFile(parentEnds[0].get(), script.data(), static_cast<DWORD>(script.size()),
                      &written, nullptr);
        parentEnds[0].reset();
    });
    if (WaitForSingleObject(child.get(), timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(child.get(), 1);
        WaitForSingleObject(child.get(), INFINITE);
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(child.get(), &exitCode);
    run.exitCode = exitCode;
    writer.join();
    outputReader.join();
    errorReader.join();
    return run;
}

std::wstring ProgramBesideTests(const std::wstring& fileName) {
    return simoracle::ProgramFolder() + L"\\" + fileName;
}

} // namespace testing_support
