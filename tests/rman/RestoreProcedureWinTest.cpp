#include "tests/rman/ProcedureFixture.h"

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

    std::string digest_;
    std::wstring backup_;
};

// Without archived logs in the settings, none are restored.
TEST_F(RestoreProcedure, WreckedDatabaseComesBackWithoutArchivedLogsWhenNotAsked) {
    ASSERT_TRUE(db_.Wreck(WreckScope::DataFiles));
    ASSERT_TRUE(Restore(backup_, [](OracleSettings& s) { s.backupArchiveLog = false; }))
        << Dialogue();
    const Lines sent = log_.Commands();
    EXPECT_EQ(sent.end(), std::find(sent.begin(), sent.end(), L"restore archivelog all;"));
    EXPECT_EQ(digest_, db_.Digest());
    EXPECT_EQ(DatabaseState::Open, db_.State());
}

// Without the option for the parameter and control files, a lost control file is not restored:
// the restore ends at the failed mount.
TEST_F(RestoreProcedure, ALostControlFileIsNotRestoredWithoutTheOptionForIt) {
    ASSERT_TRUE(db_.Wreck(WreckScope::ControlFileToo));
    EXPECT_FALSE(Restore(backup_, [](OracleSettings& s) { s.backupSPFile = false; }));
    EXPECT_EQ(0u, console_->GetErrorText().find(L"Can't mount database for restoring data: "));
    EXPECT_EQ((Lines{L"shutdown immediate;", L"startup mount;"}), log_.Commands());
}

TEST(RestorePieceListing, ListsTheFilesOfTheFolderWithTheirTimes) {
    testing_support::ScratchFolder folder;
    testing_support::WriteFileBytes(folder / L"a.controlfile", "a");
    testing_support::WriteFileBytes(folder / L"b.bcp", "b");
    ASSERT_TRUE(CreateDirectoryW((folder / L"sub.controlfile").c_str(), nullptr));
    testing_support::WriteFileBytes(folder / L"sub.controlfile\\c.controlfile", "c");

    // The names are what every restore job reads; what is checked here is what it cannot see.
    const std::vector<FolderFile> files = ListFolderFiles(folder.Path());
    ASSERT_EQ(2u, files.size()) << "the subfolder is no file";
    EXPECT_NE(0u, files[0].modified);
    EXPECT_TRUE(ListFolderFiles(folder / L"missing").empty());
}

} // namespace
