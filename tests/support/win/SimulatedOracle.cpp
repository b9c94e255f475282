#include "tests/support/win/SimulatedOracle.h"

#include "virid/Win32Handles.h"

#include <windows.h>

#include <tlhelp32.h>

#include <atomic>

namespace testing_support {

SimulatedOracle::SimulatedOracle(const simoracle::InstanceOptions& options, const std::wstring& sid)
    : sid_(sid), options_(options), ready_(false) {
    static std::atomic<unsigned> counter(0);
    homeName_ =
        L"SIMTEST" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++counter);
    homeDir_ = folder_ / L"oracle home";
    ready_ = simoracle::CreateHome(homeName_, homeDir_, error_) &&
             simoracle::CreateInstance(homeName_, sid_, options, error_);
}

SimulatedOracle::~SimulatedOracle() {
    std::wstring ignored;
    simoracle::RemoveHome(homeName_, ignored);
}

simoracle::InstanceOptions SimulatedOracle::SmallDatabase() {
    simoracle::InstanceOptions options;
    options.sizeMb = 1;
    return options;
}

bool SimulatedOracle::AddInstance(const std::wstring& sid, bool archiveLog) const {
    simoracle::InstanceOptions options = options_;
    options.archiveLog = archiveLog;
    return simoracle::CreateInstance(homeName_, sid, options, error_);
}

std::wstring SimulatedOracle::Folder(const std::wstring& name) const {
    const std::wstring path = folder_ / name;
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

ScriptedRun
SimulatedOracle::Rman(const std::string& script, const std::wstring& sid,
                      const std::vector<std::pair<std::wstring, std::wstring>>& environment) const {
    std::vector<std::pair<std::wstring, std::wstring>> variables = {{L"ORACLE_HOME", homeDir_},
                                                                    {L"ORACLE_SID", Of(sid)}};
    variables.insert(variables.end(), environment.begin(), environment.end());
    return RunScripted(L"\"" + homeDir_ + L"\\bin\\rman.exe\"", variables, script, 60000);
}

std::vector<unsigned long> SimulatedOracle::RmanProcessIds() const {
    const std::wstring rman = VIRid::strings::to_upper(homeDir_ + L"\\bin\\rman.exe");
    std::vector<unsigned long> ids;
    VIRid::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) {
        snapshot.release();
        return ids;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        const VIRid::UniqueHandle process(
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        wchar_t image[MAX_PATH * 4];
        DWORD size = MAX_PATH * 4;
        if (process && QueryFullProcessImageNameW(process.get(), 0, image, &size) &&
            VIRid::strings::to_upper(std::wstring(image, size)) == rman)
            ids.push_back(entry.th32ProcessID);
    }
    return ids;
}

void SimulatedOracle::EndRunningRman() const {
    for (const unsigned long id : RmanProcessIds()) {
        const VIRid::UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, id));
        if (process)
            TerminateProcess(process.get(), 1);
    }
}

size_t CountOf(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

} // namespace testing_support
