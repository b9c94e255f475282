// Shared by the console and procedure tests: a log of what a console passes to its callback, and
// a fixture with a simulated database, job folders beside it and a console logging to that log.
#pragma once

#include "rman/OracleSettings.h"
#include "rman/RmanWrapper.h"
#include "tests/support/FakeHost.h"
#include "tests/support/win/SimulatedOracle.h"
#include "tools/simdb/FileIo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace procedure_testing {

using testing_support::Narrow;
using testing_support::SimulatedOracle;
typedef std::vector<std::wstring> Lines;

// Every line that a console passes to its callback, as a logger's messages. The console echoes
// every command on the caller's thread before sending it, while Recovery Manager's output
// arrives on the reader thread: the lines of the log's own thread are the commands (kSent).
class ConsoleLog : public RecordingLogger {
public:
    enum Origin { kRead, kSent };
    static void Record(void* context, const wchar_t* line) {
        ConsoleLog* self = static_cast<ConsoleLog*>(context);
        self->Log(GetCurrentThreadId() == self->thread_ ? kSent : kRead, line);
    }
    // The commands sent, without their line feeds and without the connect line.
    Lines Commands() const {
        Lines commands;
        for (const std::wstring& line : Texts(kSent))
            if (line.compare(0, 15, L"connect target ") != 0)
                commands.push_back(line);
        return commands;
    }
    bool Has(const std::wstring& line) const {
        return (L"\n" + All()).find(L"\n" + line + L"\n") != std::wstring::npos;
    }
    // Any line that holds the text.
    bool Mentions(const std::wstring& text) const { return All().find(text) != std::wstring::npos; }
    // Every line, for failure messages.
    std::string Text() const { return Narrow(All()); }

private:
    const DWORD thread_ = GetCurrentThreadId();
};

// How many files of folder have names that end with ending.
inline size_t CountEndingWith(const std::wstring& folder, const std::wstring& ending) {
    const Lines names = simoracle::ListFolder(folder, false);
    return static_cast<size_t>(
        std::count_if(names.begin(), names.end(), [&](const std::wstring& n) {
            return n.size() >= ending.size() &&
                   n.compare(n.size() - ending.size(), ending.size(), ending) == 0;
        }));
}

// A copy of every file of source in destination, as a restore job unpacks a backup's stream.
inline bool CopyFolderFiles(const std::wstring& source, const std::wstring& destination) {
    for (const std::wstring& name : simoracle::ListFolder(source, false))
        if (!CopyFileW((source + L"\\" + name).c_str(), (destination + L"\\" + name).c_str(), TRUE))
            return false;
    return true;
}

// A simulated database of its own for each test, and consoles on it.
class ProcedureTest : public ::testing::Test {
protected:
    explicit ProcedureTest(const simoracle::InstanceOptions& options = {}) : db_(options) {}
    void SetUp() override { ASSERT_TRUE(db_.Ready()) << Narrow(db_.Error()); }

    // Settings of a job on the database with a new folder.
    OracleSettings NewJob() {
        OracleSettings settings;
        settings.userName = L"system";
        settings.password = L"manager";
        settings.oracleHome = db_.HomeDir();
        settings.oracleSid = db_.Sid();
        settings.tempFolder = db_.Folder(L"job" + std::to_wstring(++jobs_));
        return settings;
    }
    // A new console that logs to log_, which starts empty.
    RmanWrapper& NewConsole() {
        log_.Clear();
        console_.reset(new RmanWrapper(&log_, &ConsoleLog::Record));
        return *console_;
    }
    std::string Dialogue() const { return Narrow(console_->GetErrorText()) + "\n" + log_.Text(); }

    SimulatedOracle db_;
    OracleSettings settings_; // of the last job, as its procedure left them
    ConsoleLog log_;
    std::unique_ptr<RmanWrapper> console_;

private:
    unsigned jobs_ = 0;
};

} // namespace procedure_testing
