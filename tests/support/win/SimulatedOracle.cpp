#include "tests/support/win/SimulatedOracle.h"

#include <windows.h>

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
SimulatedOracle::Rman(const std::string& script,
                      const std::vector<std::pair<std::wstring, std::wstring>>& environment) const {
    std::vector<std::pair<std::wstring, std::wstring>> variables = {{L"ORACLE_HOME", homeDir_},
                                                                    {L"ORACLE_SID", sid_}};
    variables.insert(variables.end(), environment.begin(), environment.end());
    return RunScripted(L"\"" + homeDir_ + L"\\bin\\rman.exe\"", variables, script, 60000);
}

size_t CountOf(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

} // namespace testing_support
