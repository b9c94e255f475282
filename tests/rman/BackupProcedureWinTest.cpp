#include "tests/rman/ProcedureFixture.h"

#include "rman/RmanProcedures.h"
#include "tests/support/win/TestFolder.h"

#include <gtest/gtest.h>

namespace {

using namespace procedure_testing;
using simoracle::DatabaseState;
typedef std::vector<std::wstring> Lines;

Lines Concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// What every backup sends after connecting.
Lines Preparation() {
    return {L"CONFIGURE CHANNEL DEVICE TYPE 'SBT_TAPE' CLEAR;",
            L"CONFIGURE DEFAULT DEVICE TYPE TO DISK;", L"crosscheck backup;",
            L"delete noprompt backup tag 'ZT_BACKUP_TAG';"};
}

Lines SpFilePiece(const std::wstring& job) {
    return {L"backup spfile tag 'ZT_BACKUP_TAG' format '" + job + L"\\%d-%I-%T-%U.spfile';"};
}

Lines ControlFilePiece(const std::wstring& job) {
    return {L"backup current controlfile tag 'ZT_BACKUP_TAG' format '" + job +
            L"\\%d-%I-%T-%U.controlfile';"};
}

Lines DatabasePieces(const std::wstring& job, bool compressed, bool archivedLogs) {
    std::wstring command = std::wstring(L"backup ") +
                           (compressed ? L"as compressed backupset" : L"as backupset") +
                           L" database tag 'ZT_BACKUP_TAG' format '" + job + L"\\%d-%I-%T-%U.bcp' ";
    if (archivedLogs)
        command +=
            L"plus archivelog tag 'ZT_BACKUP_TAG' format '" + job + L"\\%h-%e-%d-%I-%T-%U.archlog'";
    return {command + L";"};
}

Lines ConfigurationCopies(const SimulatedDatabase& db, const std::wstring& job) {
    Lines copies;
    for (const std::wstring& source : {db.HomeDir() + L"\\network\\ADMIN\\tnsnames.ora",
                                       db.HomeDir() + L"\\network\\ADMIN\\listener.ora",
                                       db.HomeDir() + L"\\network\\ADMIN\\sqlnet.ora",
                                       db.HomeDir() + L"\\database\\PWD" + db.Sid() + L".ora"})
        copies.push_back(L"host 'copy /Y \"" + source + L"\" \"" + job + L"\"';");
    return copies;
}

const Lines kOffline = {L"shutdown immediate;", L"startup mount;"};
const Lines kClosing = {L"crosscheck backup;", L"delete noprompt backup tag 'ZT_BACKUP_TAG';"};

class BackupProcedure : public ::testing::Test {
protected:
    virtual simoracle::InstanceOptions Options() const { return simoracle::InstanceOptions(); }
    void SetUp() override {
        database_.reset(new SimulatedDatabase(Options()));
        ASSERT_TRUE(db().Ready()) << Narrow(db().Error());
    }

    // Runs a backup of the database into a new folder, on a console of the test's own.
    bool Backup(const std::wstring& folderName, OracleSettings& settings) {
        job_ = db().NewFolder(folderName);
        settings.tempFolder = job_;
        recorder_.Clear();
        console_.reset(new RmanWrapper(&recorder_, &CommandRecorder::Record));
        settings_ = &settings;
        return RunBackup(*console_, settings);
    }
    std::string Dialogue() const {
        return Narrow(console_->GetErrorText()) + "\n" + Narrow(recorder_.Output());
    }

    const SimulatedDatabase& db() const { return *database_; }

    std::unique_ptr<SimulatedDatabase> database_;
    CommandRecorder recorder_;
    std::unique_ptr<RmanWrapper> console_;
    std::wstring job_;
    const OracleSettings* settings_ = nullptr; // of the last backup
};

TEST_F(BackupProcedure, OnlineBackupWithEveryOptionWritesAllPiecesAndCopies) {
    OracleSettings settings = db().JobSettings(L"");
    settings.useCompression = true;
    ASSERT_TRUE(Backup(L"job", settings)) << Dialogue();

    EXPECT_EQ(Concat({Preparation(), SpFilePiece(job_), ControlFilePiece(job_),
                      DatabasePieces(job_, true, true), ConfigurationCopies(db(), job_)}),
              recorder_.Commands());
    EXPECT_EQ(0u, recorder_.ConnectLine().find(L"connect target system/"));
    EXPECT_EQ(std::wstring::npos, recorder_.ConnectLine().find(L"manager"));
    EXPECT_STREQ("open", StateName(db().State()));
    EXPECT_TRUE(settings.onlineBackup);

    const Lines files = FileNames(job_);
    EXPECT_EQ(1u, CountEndingWith(files, L".spfile"));
    EXPECT_EQ(1u, CountEndingWith(files, L".controlfile"));
    EXPECT_LE(1u, CountEndingWith(files, L".bcp"));
    EXPECT_LE(1u, CountEndingWith(files, L".archlog"));
    for (const std::wstring& name : files)
        EXPECT_EQ(std::wstring::npos, name.find(L'%')) << Narrow(name); // names are expanded
    for (const std::wstring& source :
         Lines{L"network\\ADMIN\\tnsnames.ora", L"network\\ADMIN\\listener.ora",
               L"network\\ADMIN\\sqlnet.ora", L"database\\PWD" + db().Sid() + L".ora"}) {
        const std::wstring name = source.substr(source.rfind(L'\\') + 1);
        const std::string original =
            testing_support::ReadFileBytes(db().HomeDir() + L"\\" + source);
        EXPECT_FALSE(original.empty()) << Narrow(source);
        EXPECT_EQ(original, testing_support::ReadFileBytes(job_ + L"\\" + name)) << Narrow(name);
    }

    // Closing an online backup only tidies the tagged records up; a failed crosscheck has no
    // message of its own.
    ASSERT_EQ(L"", console_->GetErrorText());
    ASSERT_TRUE(db().AddFault(simoracle::FaultKind::Fail, L"crosscheck backup"));
    recorder_.Clear();
    EXPECT_TRUE(CompleteBackup(*console_, *settings_));
    EXPECT_EQ(kClosing, recorder_.Commands());
    EXPECT_EQ(L"", console_->GetErrorText());
    EXPECT_STREQ("open", StateName(db().State()));
}

TEST_F(BackupProcedure, EachClearedOptionDropsItsCommandOrClause) {
    OracleSettings noSpFile = db().JobSettings(L"");
    noSpFile.backupSPFile = false;
    ASSERT_TRUE(Backup(L"nospfile", noSpFile)) << Dialogue();
    EXPECT_EQ(Concat({Preparation(), ControlFilePiece(job_), DatabasePieces(job_, false, true),
                      ConfigurationCopies(db(), job_)}),
              recorder_.Commands());
    EXPECT_EQ(0u, CountEndingWith(FileNames(job_), L".spfile"));

    OracleSettings noControlFileNorLogs = db().JobSettings(L"");
    noControlFileNorLogs.backupControlFile = false;
    noControlFileNorLogs.backupArchiveLog = false;
    noControlFileNorLogs.useCompression = true;
    ASSERT_TRUE(Backup(L"nocontrolfile", noControlFileNorLogs)) << Dialogue();
    EXPECT_EQ(Concat({Preparation(), SpFilePiece(job_), DatabasePieces(job_, true, false),
                      ConfigurationCopies(db(), job_)}),
              recorder_.Commands());
    const Lines files = FileNames(job_);
    EXPECT_EQ(0u, CountEndingWith(files, L".controlfile"));
    EXPECT_EQ(0u, CountEndingWith(files, L".archlog"));
    EXPECT_LE(1u, CountEndingWith(files, L".bcp"));
}

TEST_F(BackupProcedure, FailedPieceBackupDoesNotStopTheBackup) {
    ASSERT_TRUE(db().AddFault(simoracle::FaultKind::Fail, L"backup spfile*"));
    OracleSettings settings = db().JobSettings(L"");
    ASSERT_TRUE(Backup(L"job", settings)) << Dialogue();
    EXPECT_EQ(L"Backup spfile failed", console_->GetErrorText());
    EXPECT_EQ(Concat({Preparation(), SpFilePiece(job_), ControlFilePiece(job_),
                      DatabasePieces(job_, false, true), ConfigurationCopies(db(), job_)}),
              recorder_.Commands());
}

TEST_F(BackupProcedure, MissingConfigurationFileOnlyFailsItsCopy) {
    ASSERT_TRUE(DeleteFileW((db().HomeDir() + L"\\network\\ADMIN\\sqlnet.ora").c_str()));
    OracleSettings settings = db().JobSettings(L"");
    ASSERT_TRUE(Backup(L"job", settings)) << Dialogue();
    EXPECT_EQ(L"Host command failed", console_->GetErrorText());
    const Lines files = FileNames(job_);
    for (const std::wstring& copied :
         Lines{L"tnsnames.ora", L"listener.ora", L"PWD" + db().Sid() + L".ora"})
        EXPECT_NE(files.end(), std::find(files.begin(), files.end(), copied)) << Narrow(copied);
    EXPECT_EQ(files.end(), std::find(files.begin(), files.end(), L"sqlnet.ora"));
}

TEST_F(BackupProcedure, OfflineBackupIsReopenedOnlyWhenAsked) {
    OracleSettings reopened = db().JobSettings(L"");
    reopened.onlineBackup = false;
    reopened.backupSPFile = false;
    reopened.backupControlFile = false;
    reopened.backupArchiveLog = false;
    ASSERT_TRUE(Backup(L"reopened", reopened)) << Dialogue();
    EXPECT_EQ(Concat({Preparation(), kOffline, DatabasePieces(job_, false, false),
                      ConfigurationCopies(db(), job_)}),
              recorder_.Commands());
    EXPECT_STREQ("mounted", StateName(db().State()));
    recorder_.Clear();
    EXPECT_TRUE(CompleteBackup(*console_, *settings_));
    EXPECT_EQ(Concat({kClosing, {L"alter database open;"}}), recorder_.Commands());
    EXPECT_STREQ("open", StateName(db().State()));

    OracleSettings leftMounted = reopened;
    leftMounted.openAfterBackup = false;
    ASSERT_TRUE(Backup(L"mounted", leftMounted)) << Dialogue();
    recorder_.Clear();
    EXPECT_TRUE(CompleteBackup(*console_, *settings_));
    EXPECT_EQ(kClosing, recorder_.Commands());
    EXPECT_STREQ("mounted", StateName(db().State()));
}

TEST_F(BackupProcedure, CompleteBackupSendsNothingOnceRecoveryManagerEnded) {
    OracleSettings settings = db().JobSettings(L"");
    settings.onlineBackup = false;
    settings.backupArchiveLog = false;
    ASSERT_TRUE(db().AddFault(simoracle::FaultKind::Die, L"host*"));
    ASSERT_TRUE(Backup(L"job", settings)) << Dialogue(); // the copies are not checked
    recorder_.Clear();
    EXPECT_FALSE(CompleteBackup(*console_, *settings_));
    EXPECT_TRUE(recorder_.Commands().empty());
    EXPECT_STREQ("mounted", StateName(db().State()));
}

// A failed backup brings back a database that it took down itself.
TEST_F(BackupProcedure, FailedOfflinePreparationReopensTheDatabase) {
    OracleSettings settings = db().JobSettings(L"");
    settings.onlineBackup = false;

    ASSERT_TRUE(db().AddFault(simoracle::FaultKind::Fail, L"startup mount"));
    EXPECT_FALSE(Backup(L"nomount", settings));
    EXPECT_EQ(L"Base startup failed", console_->GetErrorText());
    EXPECT_EQ(Concat({Preparation(), kOffline, {L"startup;"}}), recorder_.Commands());
    EXPECT_STREQ("open", StateName(db().State()));

    ASSERT_TRUE(db().ClearFaults());
    ASSERT_TRUE(db().AddFault(simoracle::FaultKind::Fail, L"shutdown immediate"));
    EXPECT_FALSE(Backup(L"noshutdown", settings));
    EXPECT_EQ(L"Base shutdown failed", console_->GetErrorText());
    EXPECT_EQ(Concat({Preparation(), {L"shutdown immediate;", L"startup;"}}), recorder_.Commands());
    EXPECT_STREQ("open", StateName(db().State()));
}

TEST_F(BackupProcedure, FailedOfflinePreparationWithoutReopeningLeavesItDown) {
    OracleSettings settings = db().JobSettings(L"");
    settings.onlineBackup = false;
    settings.openAfterBackup = false;
    ASSERT_TRUE(db().AddFault(simoracle::FaultKind::Fail, L"startup mount"));
    EXPECT_FALSE(Backup(L"job", settings));
    EXPECT_EQ(L"Base startup failed", console_->GetErrorText());
    EXPECT_EQ(Concat({Preparation(), kOffline}), recorder_.Commands());
    EXPECT_STRNE("open", StateName(db().State()));
}

// An online backup of a database without archived logs fails and falls back to an offline one.
class NoArchiveLogBackup : public BackupProcedure {
protected:
    simoracle::InstanceOptions Options() const override {
        simoracle::InstanceOptions options;
        options.archiveLog = false;
        return options;
    }
};

TEST_F(NoArchiveLogBackup, FallsBackOfflineWithoutArchivedLogsAndReopensWhenAsked) {
    OracleSettings settings = db().JobSettings(L"");
    ASSERT_TRUE(Backup(L"job", settings)) << Dialogue();
    EXPECT_EQ(Concat({Preparation(), SpFilePiece(job_), ControlFilePiece(job_),
                      DatabasePieces(job_, false, true), kOffline,
                      DatabasePieces(job_, false, false), ConfigurationCopies(db(), job_)}),
              recorder_.Commands());
    EXPECT_FALSE(settings.onlineBackup);
    EXPECT_FALSE(settings.backupArchiveLog);
    EXPECT_STREQ("mounted", StateName(db().State()));
    EXPECT_LE(1u, CountEndingWith(FileNames(job_), L".bcp"));
    EXPECT_EQ(0u, CountEndingWith(FileNames(job_), L".archlog"));

    recorder_.Clear();
    EXPECT_TRUE(CompleteBackup(*console_, *settings_));
    EXPECT_EQ(Concat({kClosing, {L"alter database open;"}}), recorder_.Commands());
    EXPECT_STREQ("open", StateName(db().State()));
}

TEST_F(NoArchiveLogBackup, FallbackLeavesTheDatabaseMountedWhenNotAskedToReopen) {
    OracleSettings settings = db().JobSettings(L"");
    settings.openAfterBackup = false;
    settings.backupSPFile = false;
    settings.backupControlFile = false;
    ASSERT_TRUE(Backup(L"job", settings)) << Dialogue();
    EXPECT_EQ(Concat({Preparation(), DatabasePieces(job_, false, true), kOffline,
                      DatabasePieces(job_, false, false), ConfigurationCopies(db(), job_)}),
              recorder_.Commands());
    recorder_.Clear();
    EXPECT_TRUE(CompleteBackup(*console_, *settings_));
    EXPECT_EQ(kClosing, recorder_.Commands());
    EXPECT_STREQ("mounted", StateName(db().State()));
}

TEST_F(NoArchiveLogBackup, FailedFallbackBackupReopensTheMountedDatabase) {
    ASSERT_TRUE(db().AddFault(simoracle::FaultKind::Fail, L"backup as backupset database*"));
    OracleSettings settings = db().JobSettings(L"");
    settings.backupSPFile = false;
    settings.backupControlFile = false;
    EXPECT_FALSE(Backup(L"job", settings));
    EXPECT_EQ(L"Backup database failed", console_->GetErrorText());
    EXPECT_EQ(Concat({Preparation(),
                      DatabasePieces(job_, false, true),
                      kOffline,
                      DatabasePieces(job_, false, false),
                      {L"alter database open;"}}),
              recorder_.Commands());
    EXPECT_STREQ("open", StateName(db().State()));
}

} // namespace
