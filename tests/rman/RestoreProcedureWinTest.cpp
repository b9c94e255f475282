#include "tests/rman/ProcedureFixture.h"

#include "rman/BackupPieceChoice.h"
#include "rman/FolderFiles.h"
#include "rman/RmanProcedures.h"
#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

namespace {

using namespace procedure_testing;
using simoracle::DatabaseState;
using simoracle::WreckScope;

// Each test has a database of its own and an online backup of it, which it restores from a fresh
// copy as a restore job unpacks it. (A restore that ends with reset logs starts a new
// incarnation, from which an older backup can no longer be recovered.)
class RestoreProcedure : public ProcedureTest {
protected:
    void SetUp() override {
        ProcedureTest::SetUp();
        digest_ = db_.Digest();
        ASSERT_FALSE(digest_.empty());
        // The pieces are taken before the backup's closing steps, as a backup job streams them.
        backup_ = db_.Folder(L"onlinestream");
        OracleSettings settings = NewJob();
        ASSERT_TRUE(RunBackup(NewConsole(), settings)) << Dialogue();
        ASSERT_TRUE(CopyFolderFiles(settings.tempFolder, backup_));
        CompleteBackup(*console_, settings);
    }
    // Restores from a new copy of stream, on a new console, with settings changed by adjust.
    bool Restore(const std::wstring& stream, void (*adjust)(OracleSettings&) = nullptr) {
        settings_ = NewJob();
        EXPECT_TRUE(CopyFolderFiles(stream, settings_.tempFolder));
        if (adjust != nullptr)
            adjust(settings_);
        return RunRestore(NewConsole(), settings_);
    }
    // What follows the mount of every restore that gets one.
    Lines CatalogueAndRestore() const {
        return Texts({RmanCommand::CrosscheckBackups, RmanCommand::DeleteTaggedBackups,
                      RmanCommand::CatalogTempFolder, RmanCommand::RestoreDatabaseByTag});
    }

    std::string digest_;
    std::wstring backup_;
};

const Lines kMountTwice = {L"shutdown immediate;", L"startup mount;", L"startup mount;"};
const Lines kOpenAndTidy = {L"alter database open;", L"crosscheck backup;",
                            L"delete noprompt backup tag 'ZT_BACKUP_TAG';"};
const Lines kFallbackRecovery = {L"recover database;", L"recover database until logseq 0;",
                                 L"alter database open resetlogs;"};
const Lines kTidy = {L"crosscheck backup;", L"delete noprompt backup tag 'ZT_BACKUP_TAG';"};

// Without archived logs in the settings, none are restored.
TEST_F(RestoreProcedure, WreckedDatabaseComesBackWithoutArchivedLogsWhenNotAsked) {
    ASSERT_TRUE(db_.Wreck(WreckScope::DataFiles));
    ASSERT_TRUE(Restore(backup_, [](OracleSettings& s) { s.backupArchiveLog = false; }))
        << Dialogue();
    EXPECT_EQ(Concat({kMountTwice, CatalogueAndRestore(), {L"recover database;"}, kOpenAndTidy}),
              log_.Commands());
    EXPECT_EQ(digest_, db_.Digest());
    EXPECT_EQ(DatabaseState::Open, db_.State());
}

TEST_F(RestoreProcedure, LostControlFileIsRestoredFromThePieceInTheFolder) {
    ASSERT_TRUE(db_.Wreck(WreckScope::ControlFileToo));
    ASSERT_TRUE(Restore(backup_)) << Dialogue();
    EXPECT_EQ(
        Concat({{L"shutdown immediate;", L"startup mount;", L"shutdown immediate;",
                 L"startup force nomount;"},
                Texts({RmanCommand::RestoreControlFile},
                      NewestFileWithExtension(ListFolderFiles(backup_),
                                              TemplateExtension(settings_.controlFileFormat))),
                {L"shutdown immediate;", L"startup mount;"},
                CatalogueAndRestore(),
                {L"restore archivelog all;"},
                kFallbackRecovery,
                kTidy}),
        log_.Commands());
    // The recovery with a restored control file stops short of the current log: the fallback
    // recovery and the open with reset logs follow, and it opens, so the restore is done.
    EXPECT_EQ(digest_, db_.Digest());
    EXPECT_EQ(DatabaseState::Open, db_.State());
}

TEST_F(RestoreProcedure, ALostControlFileIsNotRestoredWithoutTheOptionForIt) {
    ASSERT_TRUE(db_.Wreck(WreckScope::ControlFileToo));
    EXPECT_FALSE(Restore(backup_, [](OracleSettings& s) { s.backupSPFile = false; }));
    EXPECT_EQ(0u, console_->GetErrorText().find(L"Can't mount database for restoring data: "));
    EXPECT_EQ((Lines{L"shutdown immediate;", L"startup mount;"}), log_.Commands());
    // A second attempt on the same console, whose Recovery Manager still runs, sends nothing.
    log_.Clear();
    EXPECT_FALSE(RunRestore(*console_, settings_));
    EXPECT_TRUE(log_.Commands().empty());
}

TEST(RestorePieceListing, ListsTheFilesOfTheFolderWithTheirTimes) {
    testing_support::ScratchFolder folder;
    testing_support::WriteFileBytes(folder / L"a.controlfile", "a");
    testing_support::WriteFileBytes(folder / L"b.bcp", "b");
    ASSERT_TRUE(CreateDirectoryW((folder / L"sub.controlfile").c_str(), nullptr));
    testing_support::WriteFileBytes(folder / L"sub.controlfile\\c.controlfile", "c");

    std::vector<FolderFile> files = ListFolderFiles(folder.Path());
    std::sort(files.begin(), files.end(),
              [](const FolderFile& x, const FolderFile& y) { return x.name < y.name; });
    ASSERT_EQ(2u, files.size());
    EXPECT_EQ(L"a.controlfile", files[0].name);
    EXPECT_EQ(L"b.bcp", files[1].name);
    EXPECT_NE(0u, files[0].modified);
    EXPECT_TRUE(ListFolderFiles(folder / L"missing").empty());
}

} // namespace
