// Shared by the backup and restore procedure tests: a simulated Oracle home with one database in
// a test folder, a job folder, and a recorder of the commands that a console sends.
#pragma once

#include "rman/OracleSettings.h"
#include "rman/RmanCommands.h"
#include "rman/RmanWrapper.h"
#include "tests/support/win/TestFolder.h"
#include "tools/simdb/SimOracle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace procedure_testing {

// The console echoes every command on the caller's thread before sending it, while Recovery
// Manager's output arrives on the reader thread: the lines of this thread are the commands.
class CommandRecorder {
public:
    CommandRecorder() : thread_(GetCurrentThreadId()) {}

    static void Record(void* context, const wchar_t* line) {
        CommandRecorder* self = static_cast<CommandRecorder*>(context);
        std::lock_guard<std::mutex> lock(self->mutex_);
        (GetCurrentThreadId() == self->thread_ ? self->commands_ : self->output_).push_back(line);
    }
    // The commands sent, without their line feeds and without the connect line.
    std::vector<std::wstring> Commands() const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::wstring> commands;
        for (const std::wstring& line : commands_)
            if (!IsConnectLine(line))
                commands.push_back(line);
        return commands;
    }
    std::wstring ConnectLine() const {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const std::wstring& line : commands_)
            if (IsConnectLine(line))
                return line;
        return std::wstring();
    }
    // Recovery Manager's output, one line after another, for failure messages.
    std::wstring Output() const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::wstring all;
        for (const std::wstring& line : output_)
            all += line + L"\n";
        return all;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        commands_.clear();
        output_.clear();
    }

private:
    static bool IsConnectLine(const std::wstring& line) {
        return line.compare(0, 15, L"connect target ") == 0;
    }

    const DWORD thread_;
    mutable std::mutex mutex_;
    std::vector<std::wstring> commands_;
    std::vector<std::wstring> output_;
};

inline std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

typedef std::vector<std::wstring> Lines;

inline Lines Concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The command table's texts for the settings, without their line feeds, as the recorder shows
// the commands sent.
template <typename Commands>
Lines CommandTexts(const Commands& commands, const OracleSettings& settings,
                   const std::wstring& piece = std::wstring()) {
    Lines texts;
    for (RmanCommand command : commands) {
        const std::wstring text = RmanCommandText(command, settings, piece);
        texts.push_back(text.substr(0, text.size() - 1));
    }
    return texts;
}
inline Lines CommandTexts(std::initializer_list<RmanCommand> commands,
                          const OracleSettings& settings,
                          const std::wstring& piece = std::wstring()) {
    return CommandTexts<std::initializer_list<RmanCommand>>(commands, settings, piece);
}

// A simulated Oracle home in a test folder holding one database, removed with the folder.
class SimulatedDatabase {
public:
    explicit SimulatedDatabase(const simoracle::InstanceOptions& options = {}) {
        static std::atomic<unsigned> counter(0);
        const std::wstring number =
            std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++counter);
        homeName_ = L"PROCHOME" + number;
        homeDir_ = folder_ / L"home";
        sid_ = L"P" + std::to_wstring(counter.load());
        std::wstring error;
        ready_ = simoracle::CreateHome(homeName_, homeDir_, error) &&
                 simoracle::CreateInstance(homeName_, sid_, options, error);
        error_ = error;
    }
    ~SimulatedDatabase() {
        std::wstring error;
        simoracle::RemoveHome(homeName_, error);
    }

    bool Ready() const { return ready_; }
    const std::wstring& Error() const { return error_; }
    const std::wstring& HomeDir() const { return homeDir_; }
    const std::wstring& Sid() const { return sid_; }

    // A new, empty folder beside the home.
    std::wstring NewFolder(const std::wstring& name) const {
        const std::wstring path = folder_ / name;
        CreateDirectoryW(path.c_str(), nullptr);
        return path;
    }
    // Settings of a job on this database with its folder.
    OracleSettings JobSettings(const std::wstring& tempFolder) const {
        OracleSettings settings;
        settings.userName = L"system";
        settings.password = L"manager";
        settings.oracleHome = homeDir_;
        settings.oracleSid = sid_;
        settings.tempFolder = tempFolder;
        return settings;
    }
    std::string Digest() const {
        std::wstring error;
        return simoracle::Digest(homeDir_, sid_, error);
    }
    simoracle::DatabaseState State() const { return simoracle::GetState(homeDir_, sid_); }
    bool Wreck(simoracle::WreckScope scope) const {
        std::wstring error;
        return simoracle::Wreck(homeDir_, sid_, scope, error);
    }
    bool AddFault(simoracle::FaultKind kind, const std::wstring& command,
                  const std::vector<std::wstring>& text = {}) const {
        std::wstring error;
        return simoracle::AddFault(homeDir_, sid_, kind, command, error, text);
    }
    bool ClearFaults() const {
        std::wstring error;
        return simoracle::ClearFaults(homeDir_, sid_, error);
    }

private:
    testing_support::TestFolder folder_;
    std::wstring homeName_;
    std::wstring homeDir_;
    std::wstring sid_;
    bool ready_ = false;
    std::wstring error_;
};

inline const char* StateName(simoracle::DatabaseState state) {
    switch (state) {
    case simoracle::DatabaseState::Down:
        return "down";
    case simoracle::DatabaseState::Started:
        return "started";
    case simoracle::DatabaseState::Mounted:
        return "mounted";
    case simoracle::DatabaseState::Open:
        return "open";
    }
    return "?";
}

// The files of a folder, by name.
inline std::vector<std::wstring> FileNames(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    VIRid::UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!find)
        return names;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            names.push_back(entry.cFileName);
    } while (FindNextFileW(find.get(), &entry));
    std::sort(names.begin(), names.end());
    return names;
}

inline bool EndsWith(const std::wstring& text, const std::wstring& ending) {
    return text.size() >= ending.size() &&
           text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

inline size_t CountEndingWith(const std::vector<std::wstring>& names, const std::wstring& ending) {
    return static_cast<size_t>(std::count_if(
        names.begin(), names.end(), [&](const std::wstring& n) { return EndsWith(n, ending); }));
}

// A copy of every file of source in destination, as a restore job unpacks a backup's stream.
inline bool CopyFolderFiles(const std::wstring& source, const std::wstring& destination) {
    for (const std::wstring& name : FileNames(source))
        if (!CopyFileW((source + L"\\" + name).c_str(), (destination + L"\\" + name).c_str(), TRUE))
            return false;
    return true;
}

} // namespace procedure_testing
