#include "tests/rman/ProcedureFixture.h"

#include "rman/BackupPieceNames.h"
#include "rman/FolderFiles.h"
#include "rman/RmanProcedures.h"
#include "tests/support/win/TestFolder.h"

#include <gtest/gtest.h>

namespace {

using namespace procedure_testing;
using simoracle::DatabaseState;
using simoracle::FaultKind;
using simoracle::WreckScope;

// The commands from the first one equal to first, to the end.
Lines From(const Lines& commands, const std::wstring& first) {
    return Lines(std::find(commands.begin(), commands.end(), first), commands.end());
}

// Each test has a database of its own and an online backup of it, which it restores from a fresh
// copy as a restore job unpacks it. (A restore that ends with reset logs starts a new
// incarnation, from which an older backup can no longer be recovered.)
class RestoreProcedure : public ProcedureTest {
protected:
    void SetUp() override {
        ProcedureTest::SetUp();
        digest_ = db_.Digest();
        ASSERT_FALSE(digest_.empty());
        backup_ = db_.Folder(L"onlinestream");
        BackUp(NewJob(), backup_);
    }

    // Runs a backup with settings and keeps its pieces in stream, taken before the backup's
    // closing steps as a backup job streams them.
    void BackUp(OracleSettings settings, const std::wstring& stream) {
        ASSERT_TRUE(RunBackup(NewConsole(), settings)) << Dialogue();
        ASSERT_TRUE(CopyFolderFiles(settings.tempFolder, stream));
        CompleteBackup(*console_, settings);
    }
    // Restores from a new copy of stream, on a new console, with settings changed by adjust;
    // the DBID is the pieces' when withDbid, as a restore job fills it.
    bool Restore(const std::wstring& stream, void (*adjust)(OracleSettings&) = nullptr,
                 bool withDbid = false) {
        settings_ = NewJob();
        EXPECT_TRUE(CopyFolderFiles(stream, settings_.tempFolder));
        BackupPieces pieces;
        std::wstring error;
        if (withDbid && ReadBackupPieces(ListFolderFiles(settings_.tempFolder),
                                         PieceNameTemplatesOf(settings_), pieces, error))
            settings_.dbid = pieces.dbid;
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

TEST_F(RestoreProcedure, WreckedDatabaseComesBackFromOnlineAndOfflineBackups) {
    ASSERT_TRUE(db_.Wreck(WreckScope::DataFiles));
    ASSERT_TRUE(Restore(backup_, nullptr, true)) << Dialogue();
    EXPECT_EQ(Concat({kMountTwice,
                      CatalogueAndRestore(),
                      {L"restore archivelog all;", L"recover database;"},
                      kOpenAndTidy}),
              log_.Commands());
    EXPECT_EQ(digest_, db_.Digest());
    EXPECT_EQ(DatabaseState::Open, db_.State());

    OracleSettings offline = NewJob();
    offline.onlineBackup = false;
    offline.backupArchiveLog = false;
    const std::wstring stream = db_.Folder(L"offlinestream");
    ASSERT_NO_FATAL_FAILURE(BackUp(offline, stream));
    ASSERT_TRUE(db_.Wreck(WreckScope::DataFiles));
    // Without archived logs in the settings, none are restored.
    ASSERT_TRUE(Restore(stream, [](OracleSettings& s) { s.backupArchiveLog = false; }))
        << Dialogue();
    EXPECT_EQ(Concat({kMountTwice, CatalogueAndRestore(), {L"recover database;"}, kOpenAndTidy}),
              log_.Commands());
    EXPECT_EQ(digest_, db_.Digest());
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

// A restore is done only when the database is open again; the fallbacks still try.
TEST_F(RestoreProcedure, ARestoreThatCannotOpenTheDatabaseFails) {
    struct Case {
        const wchar_t* fault;
        Lines fromRecovery;
    };
    const Case cases[] = {
        // A recovery until before the first log cannot follow a restore: reset logs fails too.
        {L"recover database", kFallbackRecovery},
        // After a complete recovery the open with reset logs is refused.
        {L"alter database open",
         {L"recover database;", L"alter database open;", L"alter database open resetlogs;"}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(db_.ClearFaults());
        ASSERT_TRUE(db_.Wreck(WreckScope::DataFiles));
        ASSERT_TRUE(db_.AddFault(FaultKind::Fail, c.fault));
        EXPECT_FALSE(Restore(backup_)) << Dialogue();
        EXPECT_EQ(c.fromRecovery, From(log_.Commands(), L"recover database;"));
        EXPECT_EQ(0u, console_->GetErrorText().find(L"Can't open resetlogs: "));
        EXPECT_NE(std::wstring::npos, console_->GetErrorText().find(L"ORA-01139"));
        EXPECT_EQ(DatabaseState::Mounted, db_.State());
    }
}

TEST(RestorePieceListing, ListsTheFilesOfTheFolderWithTheirTimes) {
    testing_support::TestFolder folder;
    ASSERT_TRUE(testing_support::WriteFileBytes(folder / L"a.controlfile", "a"));
    ASSERT_TRUE(testing_support::WriteFileBytes(folder / L"b.bcp", "b"));
    ASSERT_TRUE(CreateDirectoryW((folder / L"sub.controlfile").c_str(), nullptr));
    ASSERT_TRUE(testing_support::WriteFileBytes(folder / L"sub.controlfile\\c.controlfile", "c"));

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
