// A simulated Oracle home with one database (or more), created for a test and removed after it,
// and Recovery Manager dialogues run against it through rman.exe over pipes.
#pragma once

#include "tests/support/ScratchFolder.h"
#include "tests/support/win/ScriptedProcess.h"
#include "tools/simdb/SimOracle.h"
#include "virid/Strings.h"

#include <string>
#include <vector>

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

    // Runs the home's bin\rman.exe with ORACLE_HOME and ORACLE_SID (of the first database when
    // sid is empty) set, and the variables of environment.
    ScriptedRun
    Rman(const std::string& script, const std::wstring& sid = L"",
         const std::vector<std::pair<std::wstring, std::wstring>>& environment = {}) const;
    // How many processes run the home's bin\rman.exe; EndRunningRman ends them.
    size_t RunningRman() const { return RmanProcessIds().size(); }
    void EndRunningRman() const;
    // Another database in the home, with the options of the first but for archiveLog.
    bool AddInstance(const std::wstring& sid, bool archiveLog = true) const;
    // A database's digest, state and test faults, as simoracle:: reads and changes them (of the
    // first database when sid is empty); Error() tells why one failed.
    std::string Digest(const std::wstring& sid = L"") const {
        return simoracle::Digest(homeDir_, Of(sid), error_);
    }
    simoracle::DatabaseState State(const std::wstring& sid = L"") const {
        return simoracle::GetState(homeDir_, Of(sid));
    }
    bool Wreck(simoracle::WreckScope scope, const std::wstring& sid = L"") const {
        return simoracle::Wreck(homeDir_, Of(sid), scope, error_);
    }
    bool AddFault(simoracle::FaultKind kind, const std::wstring& command,
                  const std::vector<std::wstring>& text = {}, const std::wstring& sid = L"") const {
        return simoracle::AddFault(homeDir_, Of(sid), kind, command, error_, text);
    }
    bool ClearFaults(const std::wstring& sid = L"") const {
        return simoracle::ClearFaults(homeDir_, Of(sid), error_);
    }
    bool SetTrickle(bool on) const { return simoracle::SetTrickle(homeDir_, sid_, on, error_); }

private:
    const std::wstring& Of(const std::wstring& sid) const { return sid.empty() ? sid_ : sid; }
    std::vector<unsigned long> RmanProcessIds() const;

    ScratchFolder folder_;
    std::wstring homeName_;
    std::wstring homeDir_;
    std::wstring sid_;
    simoracle::InstanceOptions options_;
    mutable std::wstring error_;
    bool ready_;
};

inline constexpr auto& Narrow = VIRid::strings::WstrToUTF8;
inline constexpr auto& Wide = VIRid::strings::UTF8toWstr;
size_t CountOf(const std::string& text, const std::string& what);

} // namespace testing_support
