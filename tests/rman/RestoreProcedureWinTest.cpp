#include "tests/rman/ProcedureFixture.h"

#include "rman/BackupPieceNames.h"
#include "rman/FolderFiles.h"
#include "rman/RmanProcedures.h"
#include "tests/support/win/TestFolder.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace procedure_testing;
using simoracle::FaultKind;
using simoracle::WreckScope;

// The commands from the first one equal to first, to the end.
Lines From(const Lines& commands, const std::wstring& first) {
    return Lines(std::find(commands.begin(), commands.end(), first), commands.end());
}

// Each test has a database of its own and an online backup of it, which it restores from a fresh
// copy as a restore job unpacks it. (A restore that ends with reset logs starts a new
// incarnation, from which an older backup can no longer be recovered.)
class RestoreProcedure : public ::testing::Test {
protected:
    void SetUp() override {
        database_.reset(new SimulatedDatabase());
        ASSERT_TRUE(db().Ready()) << Narrow(db().Error());
        digest_ = db().Digest();
        ASSERT_FALSE(digest_.empty());
        backup_ = db().NewFolder(L"onlinestream");
        ASSERT_EQ("", BackUp(db().JobSettings(db().NewFolder(L"online")), backup_));
    }

    // Runs a backup with settings and keeps its pieces in stream, taken before the backup's
    // closing steps as a backup job streams them. Empty, or what failed.
    static std::string BackUp(OracleSettings settings, const std::wstring& stream) {
        CommandRecorder recorder;
        RmanWrapper console(&recorder, &CommandRecorder::Record);
        if (!RunBackup(console, settings))
            return "backup failed: " + Narrow(console.GetErrorText());
        if (!CopyFolderFiles(settings.tempFolder, stream))
            return "the backup's pieces could not be copied";
        CompleteBackup(console, settings);
        return std::string();
    }

    const SimulatedDatabase& db() const { return *database_; }

    // Restores from a new copy of stream, on a new console, with settings changed by adjust;
    // the DBID is the pieces' when withDbid, as a restore job fills it.
    bool Restore(const std::wstring& stream, void (*adjust)(OracleSettings&) = nullptr,
                 bool withDbid = false) {
        settings_ = db().JobSettings(db().NewFolder(L"restore" + std::to_wstring(++restores_)));
        if (!CopyFolderFiles(stream, settings_.tempFolder))
            return false;
        controlFilePiece_ = Piece(settings_.controlFileFormat);
        BackupPieces pieces;
        std::wstring error;
        if (withDbid && ReadBackupPieces(ListFolderFiles(settings_.tempFolder),
                                         PieceNameTemplatesOf(OracleSettings()), pieces, error))
            settings_.dbid = pieces.dbid;
        if (adjust != nullptr)
            adjust(settings_);
        recorder_.Clear();
        console_.reset(new RmanWrapper(&recorder_, &CommandRecorder::Record));
        return RunRestore(*console_, settings_);
    }
    std::string Dialogue() const {
        return console_ ? Narrow(console_->GetErrorText()) + "\n" + Narrow(recorder_.Output())
                        : "the backup's pieces could not be copied";
    }
    Lines Texts(std::initializer_list<RmanCommand> commands) const {
        return CommandTexts(commands, settings_);
    }
    // The newest piece of the restore's folder made by the template (the restore's tidying
    // removes them).
    std::wstring Piece(const std::wstring& fileNameTemplate) const {
        return NewestFileWithExtension(ListFolderFiles(settings_.tempFolder),
                                       TemplateExtension(fileNameTemplate));
    }
    // What follows the mount of every restore that gets one.
    Lines CatalogueAndRestore() const {
        return Texts({RmanCommand::CrosscheckBackups, RmanCommand::DeleteTaggedBackups,
                      RmanCommand::CatalogTempFolder, RmanCommand::RestoreDatabaseByTag});
    }

    std::unique_ptr<SimulatedDatabase> database_;
    std::string digest_;
    std::wstring backup_;
    unsigned restores_ = 0;
    OracleSettings settings_;
    std::wstring controlFilePiece_;
    CommandRecorder recorder_;
    std::unique_ptr<RmanWrapper> console_;
};

const Lines kMountTwice = {L"shutdown immediate;", L"startup mount;", L"startup mount;"};
const Lines kOpenAndTidy = {L"alter database open;", L"crosscheck backup;",
                            L"delete noprompt backup tag 'ZT_BACKUP_TAG';"};
const Lines kFallbackRecovery = {L"recover database;", L"recover database until logseq 0;",
                                 L"alter database open resetlogs;"};
const Lines kTidy = {L"crosscheck backup;", L"delete noprompt backup tag 'ZT_BACKUP_TAG';"};

TEST_F(RestoreProcedure, WreckedDatabaseComesBackFromOnlineAndOfflineBackups) {
    ASSERT_TRUE(db().Wreck(WreckScope::DataFiles));
    ASSERT_TRUE(Restore(backup_, nullptr, true)) << Dialogue();
    EXPECT_EQ(Concat({kMountTwice,
                      CatalogueAndRestore(),
                      {L"restore archivelog all;", L"recover database;"},
                      kOpenAndTidy}),
              recorder_.Commands());
    EXPECT_EQ(digest_, db().Digest());
    EXPECT_STREQ("open", StateName(db().State()));

    OracleSettings offline = db().JobSettings(db().NewFolder(L"offline"));
    offline.onlineBackup = false;
    offline.backupArchiveLog = false;
    const std::wstring stream = db().NewFolder(L"offlinestream");
    ASSERT_EQ("", BackUp(offline, stream));
    ASSERT_TRUE(db().Wreck(WreckScope::DataFiles));
    // Without archived logs in the settings, none are restored.
    ASSERT_TRUE(Restore(stream, [](OracleSettings& s) { s.backupArchiveLog = false; }))
        << Dialogue();
    EXPECT_EQ(Concat({kMountTwice, CatalogueAndRestore(), {L"recover database;"}, kOpenAndTidy}),
              recorder_.Commands());
    EXPECT_EQ(digest_, db().Digest());
}

TEST_F(RestoreProcedure, LostControlFileIsRestoredFromThePieceInTheFolder) {
    ASSERT_TRUE(db().Wreck(WreckScope::ControlFileToo));
    ASSERT_TRUE(Restore(backup_)) << Dialogue();
    EXPECT_EQ(Concat({{L"shutdown immediate;", L"startup mount;", L"shutdown immediate;",
                       L"startup force nomount;"},
                      CommandTexts({RmanCommand::RestoreControlFile}, settings_, controlFilePiece_),
                      {L"shutdown immediate;", L"startup mount;"},
                      CatalogueAndRestore(),
                      {L"restore archivelog all;"},
                      kFallbackRecovery,
                      kTidy}),
              recorder_.Commands());
    // The recovery with a restored control file stops short of the current log: the fallback
    // recovery and the open with reset logs follow, and it opens, so the restore is done.
    EXPECT_EQ(digest_, db().Digest());
    EXPECT_STREQ("open", StateName(db().State()));
}

TEST_F(RestoreProcedure, ALostControlFileIsNotRestoredWithoutTheOptionForIt) {
    ASSERT_TRUE(db().Wreck(WreckScope::ControlFileToo));
    EXPECT_FALSE(Restore(backup_, [](OracleSettings& s) { s.backupSPFile = false; }));
    EXPECT_EQ(0u, console_->GetErrorText().find(L"Can't mount database for restoring data: "));
    EXPECT_EQ((Lines{L"shutdown immediate;", L"startup mount;"}), recorder_.Commands());
    // A second attempt on the same console, whose Recovery Manager still runs, sends nothing.
    recorder_.Clear();
    EXPECT_FALSE(RunRestore(*console_, settings_));
    EXPECT_TRUE(recorder_.Commands().empty());
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
        ASSERT_TRUE(db().ClearFaults());
        ASSERT_TRUE(db().Wreck(WreckScope::DataFiles));
        ASSERT_TRUE(db().AddFault(FaultKind::Fail, c.fault));
        EXPECT_FALSE(Restore(backup_)) << Dialogue();
        EXPECT_EQ(c.fromRecovery, From(recorder_.Commands(), L"recover database;"));
        EXPECT_EQ(0u, console_->GetErrorText().find(L"Can't open resetlogs: "));
        EXPECT_NE(std::wstring::npos, console_->GetErrorText().find(L"ORA-01139"));
        EXPECT_EQ(simoracle::DatabaseState::Mounted, db().State());
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
