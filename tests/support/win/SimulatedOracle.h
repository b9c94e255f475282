// A simulated Oracle home with one database, created for a test and removed after it, and
// Recovery Manager dialogues run against it through rman.exe over pipes.
#pragma once

#include "tests/support/win/ScriptedProcess.h"
#include "tests/support/win/TestFolder.h"
#include "tools/simdb/SimOracle.h"

#include <string>

namespace testing_support {

class SimulatedOracle {
public:
    // Creates the home (a unique name) under a fresh folder and the database of sid in it.
    explicit SimulatedOracle(const simoracle::InstanceOptions& options = SmallDatabase(),
                             const std::wstring& sid = L"SIMDB");
    ~SimulatedOracle();
    SimulatedOracle(const SimulatedOracle&) = delete;
    SimulatedOracle& operator=(const SimulatedOracle&) = delete;

    static simoracle::InstanceOptions SmallDatabase();

    bool Ready() const { return ready_; }
    const std::wstring& Error() const { return error_; }
    const std::wstring& HomeName() const { return homeName_; }
    const std::wstring& HomeDir() const { return homeDir_; }
    const std::wstring& Sid() const { return sid_; }
    // A folder inside the test's folder, created on first use.
    std::wstring Folder(const std::wstring& name) const;

    // Runs the home's bin\rman.exe with ORACLE_HOME and ORACLE_SID set.
    ScriptedRun Rman(const std::string& script, unsigned long timeoutMs = 60000) const;
    std::string Digest() const;

private:
    TestFolder folder_;
    std::wstring homeName_;
    std::wstring homeDir_;
    std::wstring sid_;
    std::wstring error_;
    bool ready_;
};

// Text helpers for dialogues.
std::string Narrow(const std::wstring& text);
std::wstring Wide(const std::string& text);
size_t CountOf(const std::string& text, const std::string& what);

} // namespace testing_support
