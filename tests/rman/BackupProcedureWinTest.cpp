#include "tests/rman/ProcedureFixture.h"

#include "rman/RmanProcedures.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace procedure_testing;
using simoracle::DatabaseState;
using simoracle::FaultKind;

class BackupProcedure : public ProcedureTest {
protected:
    using ProcedureTest::ProcedureTest;

    // Runs a backup on a new console, with the settings of a new job changed by adjust.
    bool Backup(const std::function<void(OracleSettings&)>& adjust = [](OracleSettings&) {}) {
        settings_ = NewJob();
        adjust(settings_);
        return RunBackup(NewConsole(), settings_);
    }
    bool Complete() {
        log_.Clear();
        return CompleteBackup(*console_, settings_);
    }
    // What every backup sends after connecting.
    Lines Preparation() const {
        return Texts({RmanCommand::ClearTapeChannel, RmanCommand::DiskAsDefaultDevice,
                      RmanCommand::CrosscheckBackups, RmanCommand::DeleteTaggedBackups});
    }
    Lines Offline() const {
        return Texts({RmanCommand::ShutdownImmediate, RmanCommand::StartupMount});
    }
    Lines Copies() const {
        Lines copies;
        for (const std::wstring& source : ConfigurationFiles(settings_))
            copies.push_back(L"host 'copy /Y \"" + source + L"\" \"" + settings_.tempFolder +
                             L"\"';");
        return copies;
    }
};

const Lines kClosing = {L"crosscheck backup;", L"delete noprompt backup tag 'ZT_BACKUP_TAG';"};

TEST_F(BackupProcedure, OnlineBackupWithEveryOptionWritesAllPiecesAndCopies) {
    ASSERT_TRUE(Backup([](OracleSettings& s) { s.useCompression = true; })) << Dialogue();
    EXPECT_EQ(
        Concat({Preparation(),
                Texts({RmanCommand::BackupSpFileToFolder, RmanCommand::BackupControlFileToFolder,
                       RmanCommand::BackupDatabaseToFolder}),
                Copies()}),
        log_.Commands());
    EXPECT_EQ(DatabaseState::Open, db_.State());

    for (const wchar_t* extension : {L".spfile", L".controlfile", L".bcp", L".archlog"})
        EXPECT_LE(1u, CountEndingWith(settings_.tempFolder, extension)) << Narrow(extension);
    for (const std::wstring& name : simoracle::ListFolder(settings_.tempFolder, false))
        EXPECT_EQ(std::wstring::npos, name.find(L'%')) << Narrow(name); // names are expanded
    for (const std::wstring& source : ConfigurationFiles(settings_)) {
        const std::string original = testing_support::ReadFileBytes(source);
        EXPECT_FALSE(original.empty()) << Narrow(source);
        EXPECT_EQ(original, testing_support::ReadFileBytes(settings_.tempFolder +
                                                           source.substr(source.rfind(L'\\'))));
    }

    // Closing an online backup only tidies the tagged records up.
    EXPECT_TRUE(Complete());
    EXPECT_EQ(kClosing, log_.Commands());
    EXPECT_EQ(DatabaseState::Open, db_.State());
}

TEST_F(BackupProcedure, ClearedOptionsDropTheirCommandsAndAFailedPieceOrCopyDoesNotStopTheBackup) {
    ASSERT_TRUE(db_.AddFault(FaultKind::Fail, L"backup spfile*"));
    ASSERT_TRUE(DeleteFileW((db_.HomeDir() + L"\\network\\ADMIN\\sqlnet.ora").c_str()));
    ASSERT_TRUE(Backup([](OracleSettings& s) {
        s.backupControlFile = false;
        s.backupArchiveLog = false;
    })) << Dialogue();
    EXPECT_EQ(
        Concat({Preparation(),
                Texts({RmanCommand::BackupSpFileToFolder, RmanCommand::BackupDatabaseToFolder}),
                Copies()}),
        log_.Commands());
    EXPECT_EQ(0u, console_->GetErrorText().find(L"Host command failed: "));
    for (const wchar_t* missing : {L".spfile", L".controlfile", L".archlog", L"sqlnet.ora"})
        EXPECT_EQ(0u, CountEndingWith(settings_.tempFolder, missing)) << Narrow(missing);
    EXPECT_EQ(1u, CountEndingWith(settings_.tempFolder, L"tnsnames.ora"));
    EXPECT_LE(1u, CountEndingWith(settings_.tempFolder, L".bcp"));
}

TEST_F(BackupProcedure, OfflineBackupIsReopenedOnlyWhenAskedAndWhileRecoveryManagerRuns) {
    const auto offline = [](OracleSettings& s) {
        s.onlineBackup = false;
        s.backupSPFile = false;
        s.backupControlFile = false;
        s.backupArchiveLog = false;
    };
    ASSERT_TRUE(Backup(offline)) << Dialogue();
    EXPECT_EQ(
        Concat({Preparation(), Offline(), Texts({RmanCommand::BackupDatabaseToFolder}), Copies()}),
        log_.Commands());
    EXPECT_EQ(DatabaseState::Mounted, db_.State());
    EXPECT_TRUE(Complete());
    EXPECT_EQ(Concat({kClosing, {L"alter database open;"}}), log_.Commands());
    EXPECT_EQ(DatabaseState::Open, db_.State());

    ASSERT_TRUE(Backup([](OracleSettings& s) {
        s.onlineBackup = false;
        s.openAfterBackup = false;
    }));
    EXPECT_TRUE(Complete());
    EXPECT_EQ(kClosing, log_.Commands());
    EXPECT_EQ(DatabaseState::Mounted, db_.State());

    // Recovery Manager has ended before the closing steps: nothing is sent, and the end is the
    // reason.
    ASSERT_TRUE(db_.AddFault(FaultKind::Die, L"host*"));
    ASSERT_TRUE(Backup(offline));
    EXPECT_FALSE(Complete());
    EXPECT_TRUE(log_.Commands().empty());
    EXPECT_EQ(0u, console_->GetErrorText().find(L"Unexpected rman shutdown"));
    EXPECT_EQ(DatabaseState::Mounted, db_.State());
}

// A failed backup brings back a database that it took down itself, when asked to.
TEST_F(BackupProcedure, FailedOfflinePreparationReopensTheDatabaseWhenAsked) {
    struct Case {
        const wchar_t* fault;
        bool openAfterBackup;
        Lines sentAfterPreparation;
        const wchar_t* error;
        DatabaseState state;
    };
    const Case cases[] = {
        {L"startup mount",
         true,
         {L"shutdown immediate;", L"startup mount;", L"startup;"},
         L"Base startup failed: ",
         DatabaseState::Open},
        {L"shutdown immediate",
         true,
         {L"shutdown immediate;", L"startup;"},
         L"Base shutdown failed: ",
         DatabaseState::Open},
        {L"startup mount",
         false,
         {L"shutdown immediate;", L"startup mount;"},
         L"Base startup failed: ",
         DatabaseState::Down},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(db_.ClearFaults());
        ASSERT_TRUE(db_.AddFault(FaultKind::Fail, c.fault));
        EXPECT_FALSE(Backup([&](OracleSettings& s) {
            s.onlineBackup = false;
            s.openAfterBackup = c.openAfterBackup;
        }));
        EXPECT_EQ(0u, console_->GetErrorText().find(c.error)) << Dialogue();
        EXPECT_EQ(Concat({Preparation(), c.sentAfterPreparation}), log_.Commands());
        EXPECT_EQ(c.state, db_.State());
    }
}

class NoArchiveLogBackup : public BackupProcedure {
protected:
    NoArchiveLogBackup() : BackupProcedure(NoArchiveLog()) {}
    static simoracle::InstanceOptions NoArchiveLog() {
        simoracle::InstanceOptions options;
        options.archiveLog = false;
        return options;
    }
};

TEST_F(NoArchiveLogBackup, FallsBackOfflineWithoutArchivedLogsAndStaysMountedWhenAsked) {
    ASSERT_TRUE(Backup([](OracleSettings& s) {
        s.backupControlFile = false;
        s.openAfterBackup = false;
    })) << Dialogue();
    EXPECT_FALSE(settings_.onlineBackup);
    EXPECT_FALSE(settings_.backupArchiveLog);
    OracleSettings online = settings_;
    online.backupArchiveLog = true;
    EXPECT_EQ(Concat({Preparation(),
                      CommandTexts(
                          {RmanCommand::BackupSpFileToFolder, RmanCommand::BackupDatabaseToFolder},
                          online),
                      Offline(), Texts({RmanCommand::BackupDatabaseToFolder}), Copies()}),
              log_.Commands());
    EXPECT_LE(1u, CountEndingWith(settings_.tempFolder, L".bcp"));
    EXPECT_EQ(0u, CountEndingWith(settings_.tempFolder, L".archlog"));
    EXPECT_TRUE(Complete());
    EXPECT_EQ(DatabaseState::Mounted, db_.State());
}

TEST_F(NoArchiveLogBackup, AFailedFallbackBringsTheDatabaseBack) {
    ASSERT_TRUE(db_.AddFault(FaultKind::Fail, L"startup mount"));
    EXPECT_FALSE(Backup([](OracleSettings& s) {
        s.backupSPFile = false;
        s.backupControlFile = false;
    }));
    EXPECT_EQ(0u, console_->GetErrorText().find(L"Base startup failed: "));
    const Lines sent = log_.Commands();
    EXPECT_EQ((Lines{L"shutdown immediate;", L"startup mount;", L"startup;"}),
              Lines(sent.end() - std::min<size_t>(3, sent.size()), sent.end()));
    EXPECT_EQ(DatabaseState::Open, db_.State());
}

} // namespace
