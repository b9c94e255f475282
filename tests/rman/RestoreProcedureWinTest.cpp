#include "tests/rman/ProcedureFixture.h"

#include "rman/FolderFiles.h"
#include "rman/RmanProcedures.h"
#include "tests/support/win/TestFolder.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace procedure_testing;
typedef std::vector<std::wstring> Lines;

const Lines kTidying = {L"crosscheck backup;", L"delete noprompt backup tag 'ZT_BACKUP_TAG';"};

Lines Concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

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
        OracleSettings settings = db().JobSettings(db().NewFolder(L"online"));
        backup_ = db().NewFolder(L"onlinestream");
        ASSERT_EQ("", BackUp(settings, backup_));
    }

    // Runs a backup with settings into its folder and keeps its pieces in stream, taken before
    // the backup's closing steps as a backup job streams them. Empty, or what failed.
    static std::string BackUp(OracleSettings& settings, const std::wstring& stream) {
        CommandRecorder recorder;
        RmanWrapper console(&recorder, &CommandRecorder::Record);
        if (!RunBackup(console, settings))
            return "backup failed: " + Narrow(console.GetErrorText()) + "\n" +
                   Narrow(recorder.Output());
        if (!CopyFolderFiles(settings.tempFolder, stream))
            return "the backup's pieces could not be copied";
        CompleteBackup(console, settings);
        return std::string();
    }

    const SimulatedDatabase& db() const { return *database_; }

    // Restores from a new copy of stream, on a new console, with settings changed by adjust.
    bool Restore(const std::wstring& stream, void (*adjust)(OracleSettings&) = nullptr) {
        restoreFolder_ = db().NewFolder(L"restore" + std::to_wstring(++restores_));
        if (!CopyFolderFiles(stream, restoreFolder_))
            return false;
        settings_ = db().JobSettings(restoreFolder_);
        if (adjust != nullptr)
            adjust(settings_);
        recorder_.Clear();
        console_.reset(new RmanWrapper(&recorder_, &CommandRecorder::Record));
        return RunRestore(*console_, settings_);
    }
    std::string Dialogue() const {
        if (!console_)
            return "the backup's pieces could not be copied";
        return Narrow(console_->GetErrorText()) + "\n" + Narrow(recorder_.Output());
    }
    // What follows the mount of every restore that gets one.
    Lines CatalogueAndRestore() const {
        return Concat({kTidying,
                       {L"CATALOG START WITH '" + restoreFolder_ + L"' noprompt;",
                        L"restore database from tag 'ZT_BACKUP_TAG';"}});
    }

    std::unique_ptr<SimulatedDatabase> database_;
    std::string digest_;
    std::wstring backup_;
    unsigned restores_ = 0;
    OracleSettings settings_;
    std::wstring restoreFolder_;
    CommandRecorder recorder_;
    std::unique_ptr<RmanWrapper> console_;
};

TEST_F(RestoreProcedure, WreckedDatabaseComesBackFromAnOnlineBackup) {
    ASSERT_TRUE(db().Wreck(false));
    ASSERT_NE(digest_, db().Digest());

    ASSERT_TRUE(Restore(backup_)) << Dialogue();
    const Lines commands = recorder_.Commands();
    EXPECT_EQ(Concat({{L"shutdown immediate;", L"startup mount;", L"startup mount;"},
                      CatalogueAndRestore(),
                      {L"restore archivelog all;", L"recover database;"},
                      kTidying,
                      {L"alter database open;"}}),
              commands);
    EXPECT_EQ(digest_, db().Digest());
    EXPECT_STREQ("open", StateName(db().State()));
}

TEST_F(RestoreProcedure, WreckedDatabaseComesBackFromAnOfflineBackup) {
    const std::string before = db().Digest();
    OracleSettings offline = db().JobSettings(db().NewFolder(L"offline"));
    offline.onlineBackup = false;
    offline.backupArchiveLog = false;
    const std::wstring stream = db().NewFolder(L"offlinestream");
    ASSERT_EQ("", BackUp(offline, stream));
    ASSERT_STREQ("open", StateName(db().State()));
    ASSERT_TRUE(db().Wreck(false));

    // Without archived logs in the settings, none are restored.
    ASSERT_TRUE(Restore(stream, [](OracleSettings& s) { s.backupArchiveLog = false; }))
        << Dialogue();
    EXPECT_EQ(Concat({{L"shutdown immediate;", L"startup mount;", L"startup mount;"},
                      CatalogueAndRestore(),
                      {L"recover database;"},
                      kTidying,
                      {L"alter database open;"}}),
              recorder_.Commands());
    EXPECT_EQ(before, db().Digest());
    EXPECT_STREQ("open", StateName(db().State()));
}

TEST_F(RestoreProcedure, LostControlFileIsRestoredFromThePieceInTheFolder) {
    // The restore deletes the tagged pieces at its end: their names are taken from the stream.
    Lines pieces;
    for (const std::wstring& name : FileNames(backup_))
        if (EndsWith(name, L".controlfile"))
            pieces.push_back(name);
    ASSERT_EQ(1u, pieces.size());
    ASSERT_TRUE(db().Wreck(true));

    ASSERT_TRUE(Restore(backup_)) << Dialogue();
    const Lines commands = recorder_.Commands();
    EXPECT_EQ(Concat({{L"shutdown immediate;", L"startup mount;", L"shutdown immediate;",
                       L"startup force nomount;",
                       L"restore controlfile from '" + restoreFolder_ + L"\\" + pieces[0] + L"';",
                       L"shutdown immediate;", L"startup mount;"},
                      CatalogueAndRestore()}),
              Lines(commands.begin(), commands.begin() + std::min<size_t>(commands.size(), 11)));
    // The recovery with a restored control file stops short of the current log: the fallback
    // recovery and the open with reset logs follow, and it opens, so the restore is done.
    EXPECT_EQ(Concat({{L"recover database;", L"recover database until logseq 0;"},
                      kTidying,
                      {L"alter database open resetlogs;"}}),
              From(commands, L"recover database;"));
    EXPECT_EQ(digest_, db().Digest());
    EXPECT_STREQ("open", StateName(db().State()));
}

TEST_F(RestoreProcedure, LostControlFileWithoutParameterFileOptionIsNotRestored) {
    ASSERT_TRUE(db().Wreck(true));

    EXPECT_FALSE(Restore(backup_, [](OracleSettings& s) { s.backupSPFile = false; }));
    EXPECT_EQ(L"Can't mount database for restoring data", console_->GetErrorText());
    EXPECT_EQ(Lines({L"shutdown immediate;", L"startup mount;"}), recorder_.Commands());

    // A second attempt on the same console, whose Recovery Manager still runs, sends nothing.
    recorder_.Clear();
    EXPECT_FALSE(RunRestore(*console_, settings_));
    EXPECT_TRUE(recorder_.Commands().empty());
    EXPECT_EQ(L"Can't mount database for restoring data", console_->GetErrorText());

    // With the option the same folder repairs it.
    ASSERT_TRUE(Restore(backup_)) << Dialogue();
    EXPECT_EQ(digest_, db().Digest());
}

TEST_F(RestoreProcedure, FailedRecoveryFallsBackToTheFirstLogAndResetLogs) {
    ASSERT_TRUE(db().Wreck(false));
    ASSERT_TRUE(db().AddFault(simoracle::FaultKind::Fail, L"recover database"));

    EXPECT_FALSE(Restore(backup_)) << Dialogue();
    EXPECT_EQ(Concat({{L"recover database;", L"recover database until logseq 0;"},
                      kTidying,
                      {L"alter database open resetlogs;"}}),
              From(recorder_.Commands(), L"recover database;"));
    // A recovery until before the first log cannot follow a restore, so the open with reset logs
    // fails too: the database stays mounted, and the procedure says so instead of succeeding.
    EXPECT_EQ(L"Can't open resetlogs", console_->GetErrorText()) << Dialogue();
    EXPECT_EQ(simoracle::DatabaseState::Mounted, db().State());
}

TEST_F(RestoreProcedure, FailedOpenIsFollowedByAnOpenWithResetLogs) {
    ASSERT_TRUE(db().Wreck(false));
    ASSERT_TRUE(db().AddFault(simoracle::FaultKind::Fail, L"alter database open"));

    // After a complete recovery the open with reset logs is refused too: the database stays
    // mounted, and the restore fails with the open's message instead of passing for done.
    EXPECT_FALSE(Restore(backup_)) << Dialogue();
    EXPECT_EQ(Concat({{L"recover database;"},
                      kTidying,
                      {L"alter database open;", L"alter database open resetlogs;"}}),
              From(recorder_.Commands(), L"recover database;"))
        << Dialogue();
    EXPECT_EQ(L"Can't open resetlogs", console_->GetErrorText());
    EXPECT_EQ(simoracle::DatabaseState::Mounted, db().State());
    EXPECT_EQ(digest_, db().Digest());
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
    EXPECT_EQ(L"a.controlfile", NewestFileWithExtension(files, L".controlfile"));
    EXPECT_TRUE(ListFolderFiles(folder / L"missing").empty());
}

} // namespace
