#include "tests/rman/ProcedureFixture.h"

#include "rman/RmanProcedures.h"

#include <gtest/gtest.h>

namespace {

using namespace procedure_testing;
using simoracle::FaultKind;
typedef std::vector<std::wstring> Lines;

class BackupProcedure : public ::testing::Test {
protected:
    virtual simoracle::InstanceOptions Options() const { return simoracle::InstanceOptions(); }
    void SetUp() override {
        database_.reset(new SimulatedDatabase(Options()));
        ASSERT_TRUE(db().Ready()) << Narrow(db().Error());
    }

    // Settings of a backup into a new folder, changed by adjust.
    OracleSettings Settings(void (*adjust)(OracleSettings&) = [](OracleSettings&) {}) {
        settings_ = db().JobSettings(db().NewFolder(L"job" + std::to_wstring(++jobs_)));
        adjust(settings_);
        return settings_;
    }
    // Runs a backup with the settings, on a console of the test's own.
    bool Backup(const OracleSettings& settings) {
        settings_ = settings;
        recorder_.Clear();
        console_.reset(new RmanWrapper(&recorder_, &CommandRecorder::Record));
        return RunBackup(*console_, settings_);
    }
    bool Complete() {
        recorder_.Clear();
        return CompleteBackup(*console_, settings_);
    }
    // The texts of commands for the settings of the last backup, as the recorder shows them.
    Lines Texts(std::initializer_list<RmanCommand> commands) const {
        return CommandTexts(commands, settings_);
    }
    // What every backup sends after connecting.
    Lines Preparation() const {
        return Texts({RmanCommand::ClearTapeChannel, RmanCommand::DiskAsDefaultDevice,
                      RmanCommand::CrosscheckBackups, RmanCommand::DeleteTaggedBackups});
    }
    Lines Copies() const {
        Lines copies;
        for (const std::wstring& source : ConfigurationFiles(settings_))
            copies.push_back(L"host 'copy /Y \"" + source + L"\" \"" + settings_.tempFolder +
                             L"\"';");
        return copies;
    }
    std::string Dialogue() const {
        return Narrow(console_->GetErrorText()) + "\n" + Narrow(recorder_.Output());
    }
    const SimulatedDatabase& db() const { return *database_; }

    std::unique_ptr<SimulatedDatabase> database_;
    unsigned jobs_ = 0;
    OracleSettings settings_; // of the last backup, as the procedure left it
    CommandRecorder recorder_;
    std::unique_ptr<RmanWrapper> console_;
};

const RmanCommand kOffline[] = {RmanCommand::ShutdownImmediate, RmanCommand::StartupMount};
const Lines kClosing = {L"crosscheck backup;", L"delete noprompt backup tag 'ZT_BACKUP_TAG';"};

TEST_F(BackupProcedure, OnlineBackupWithEveryOptionWritesAllPiecesAndCopies) {
    ASSERT_TRUE(Backup(Settings([](OracleSettings& s) { s.useCompression = true; }))) << Dialogue();
    EXPECT_EQ(
        Concat({Preparation(),
                Texts({RmanCommand::BackupSpFileToFolder, RmanCommand::BackupControlFileToFolder,
                       RmanCommand::BackupDatabaseToFolder}),
                Copies()}),
        recorder_.Commands());
    EXPECT_EQ(std::wstring::npos, recorder_.ConnectLine().find(L"manager"));
    EXPECT_STREQ("open", StateName(db().State()));

    const Lines files = FileNames(settings_.tempFolder);
    for (const wchar_t* extension : {L".spfile", L".controlfile", L".bcp", L".archlog"})
        EXPECT_LE(1u, CountEndingWith(files, extension)) << Narrow(extension);
    for (const std::wstring& name : files)
        EXPECT_EQ(std::wstring::npos, name.find(L'%')) << Narrow(name); // names are expanded
    for (const std::wstring& source : ConfigurationFiles(settings_)) {
        const std::string original = testing_support::ReadFileBytes(source);
        EXPECT_FALSE(original.empty()) << Narrow(source);
        EXPECT_EQ(original, testing_support::ReadFileBytes(settings_.tempFolder +
                                                           source.substr(source.rfind(L'\\'))));
    }

    // Closing an online backup only tidies the tagged records up.
    EXPECT_TRUE(Complete());
    EXPECT_EQ(kClosing, recorder_.Commands());
    EXPECT_STREQ("open", StateName(db().State()));
}

TEST_F(BackupProcedure, ClearedOptionsDropTheirCommandsAndAFailedPieceOrCopyDoesNotStopTheBackup) {
    ASSERT_TRUE(db().AddFault(FaultKind::Fail, L"backup spfile*"));
    ASSERT_TRUE(DeleteFileW((db().HomeDir() + L"\\network\\ADMIN\\sqlnet.ora").c_str()));
    ASSERT_TRUE(Backup(Settings([](OracleSettings& s) {
        s.backupControlFile = false;
        s.backupArchiveLog = false;
    }))) << Dialogue();
    EXPECT_EQ(
        Concat({Preparation(),
                Texts({RmanCommand::BackupSpFileToFolder, RmanCommand::BackupDatabaseToFolder}),
                Copies()}),
        recorder_.Commands());
    EXPECT_EQ(0u, console_->GetErrorText().find(L"Host command failed: "));
    const Lines files = FileNames(settings_.tempFolder);
    for (const wchar_t* missing : {L".spfile", L".controlfile", L".archlog", L"sqlnet.ora"})
        EXPECT_EQ(0u, CountEndingWith(files, missing)) << Narrow(missing);
    EXPECT_EQ(1u, CountEndingWith(files, L"tnsnames.ora"));
    EXPECT_LE(1u, CountEndingWith(files, L".bcp"));
}

TEST_F(BackupProcedure, OfflineBackupIsReopenedOnlyWhenAskedAndWhileRecoveryManagerRuns) {
    const auto offline = [](OracleSettings& s) {
        s.onlineBackup = false;
        s.backupSPFile = false;
        s.backupControlFile = false;
        s.backupArchiveLog = false;
    };
    ASSERT_TRUE(Backup(Settings(offline))) << Dialogue();
    EXPECT_EQ(Concat({Preparation(), CommandTexts(kOffline, settings_),
                      Texts({RmanCommand::BackupDatabaseToFolder}), Copies()}),
              recorder_.Commands());
    EXPECT_STREQ("mounted", StateName(db().State()));
    EXPECT_TRUE(Complete());
    EXPECT_EQ(Concat({kClosing, {L"alter database open;"}}), recorder_.Commands());
    EXPECT_STREQ("open", StateName(db().State()));

    ASSERT_TRUE(Backup(Settings([](OracleSettings& s) {
        s.onlineBackup = false;
        s.openAfterBackup = false;
    })));
    EXPECT_TRUE(Complete());
    EXPECT_EQ(kClosing, recorder_.Commands());
    EXPECT_STREQ("mounted", StateName(db().State()));

    // Recovery Manager has ended before the closing steps: nothing is sent, and the end is the
    // reason.
    ASSERT_TRUE(db().AddFault(FaultKind::Die, L"host*"));
    ASSERT_TRUE(Backup(Settings(offline)));
    EXPECT_FALSE(Complete());
    EXPECT_TRUE(recorder_.Commands().empty());
    EXPECT_EQ(0u, console_->GetErrorText().find(L"Unexpected rman shutdown"));
    EXPECT_STREQ("mounted", StateName(db().State()));
}

// A failed backup brings back a database that it took down itself, when asked to.
TEST_F(BackupProcedure, FailedOfflinePreparationReopensTheDatabaseWhenAsked) {
    struct Case {
        const wchar_t* fault;
        bool openAfterBackup;
        Lines sentAfterPreparation;
        const wchar_t* error;
        const char* state;
    };
    const Case cases[] = {
        {L"startup mount",
         true,
         {L"shutdown immediate;", L"startup mount;", L"startup;"},
         L"Base startup failed: ",
         "open"},
        {L"shutdown immediate",
         true,
         {L"shutdown immediate;", L"startup;"},
         L"Base shutdown failed: ",
         "open"},
        {L"startup mount",
         false,
         {L"shutdown immediate;", L"startup mount;"},
         L"Base startup failed: ",
         "down"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(db().ClearFaults());
        ASSERT_TRUE(db().AddFault(FaultKind::Fail, c.fault));
        OracleSettings settings = Settings();
        settings.onlineBackup = false;
        settings.openAfterBackup = c.openAfterBackup;
        EXPECT_FALSE(Backup(settings));
        EXPECT_EQ(0u, console_->GetErrorText().find(c.error)) << Dialogue();
        EXPECT_EQ(Concat({Preparation(), c.sentAfterPreparation}), recorder_.Commands());
        EXPECT_STREQ(c.state, StateName(db().State()));
    }
}

class NoArchiveLogBackup : public BackupProcedure {
protected:
    simoracle::InstanceOptions Options() const override {
        simoracle::InstanceOptions options;
        options.archiveLog = false;
        return options;
    }
};

TEST_F(NoArchiveLogBackup, FallsBackOfflineWithoutArchivedLogsAndReopensWhenAsked) {
    for (const bool reopen : {true, false}) {
        OracleSettings settings = Settings([](OracleSettings& s) { s.backupControlFile = false; });
        settings.openAfterBackup = reopen;
        const OracleSettings online = settings;
        ASSERT_TRUE(Backup(settings)) << Dialogue();
        EXPECT_EQ(Concat({Preparation(),
                          CommandTexts({RmanCommand::BackupSpFileToFolder,
                                        RmanCommand::BackupDatabaseToFolder},
                                       online),
                          CommandTexts(kOffline, settings_),
                          Texts({RmanCommand::BackupDatabaseToFolder}), Copies()}),
                  recorder_.Commands());
        EXPECT_FALSE(settings_.onlineBackup);
        EXPECT_FALSE(settings_.backupArchiveLog);
        EXPECT_LE(1u, CountEndingWith(FileNames(settings_.tempFolder), L".bcp"));
        EXPECT_EQ(0u, CountEndingWith(FileNames(settings_.tempFolder), L".archlog"));
        EXPECT_TRUE(Complete());
        EXPECT_STREQ(reopen ? "open" : "mounted", StateName(db().State()));
    }
}

TEST_F(NoArchiveLogBackup, AFailedFallbackBringsTheDatabaseBack) {
    ASSERT_TRUE(db().AddFault(FaultKind::Fail, L"startup mount"));
    EXPECT_FALSE(Backup(Settings([](OracleSettings& s) {
        s.backupSPFile = false;
        s.backupControlFile = false;
    })));
    EXPECT_EQ(0u, console_->GetErrorText().find(L"Base startup failed: "));
    const Lines sent = recorder_.Commands();
    EXPECT_EQ((Lines{L"shutdown immediate;", L"startup mount;", L"startup;"}),
              Lines(sent.end() - std::min<size_t>(3, sent.size()), sent.end()));
    EXPECT_STREQ("open", StateName(db().State()));
}

} // namespace
