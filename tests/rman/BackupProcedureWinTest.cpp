// The backup steps on a console, where the job tests cannot reach: options that leave pieces out,
// a failed piece or copy, a database left mounted on request, Recovery Manager ending before the
// closing steps, and preparations that fail after the database went down.
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
};

// Compressed, so that the simulator reads that form of the backup command too.
TEST_F(BackupProcedure, ClearedOptionsLeaveTheirPiecesOutAndAFailedPieceOrCopyDoesNotStopIt) {
    ASSERT_TRUE(db_.AddFault(FaultKind::Fail, L"backup spfile*"));
    ASSERT_TRUE(DeleteFileW((db_.HomeDir() + L"\\network\\ADMIN\\sqlnet.ora").c_str()));
    ASSERT_TRUE(Backup([](OracleSettings& s) {
        s.backupControlFile = false;
        s.backupArchiveLog = false;
        s.useCompression = true;
    })) << Dialogue();
    EXPECT_EQ(0u, console_->GetErrorText().find(L"Host command failed: "));
    for (const wchar_t* missing : {L".spfile", L".controlfile", L".archlog", L"sqlnet.ora"})
        EXPECT_EQ(0u, CountEndingWith(settings_.tempFolder, missing)) << Narrow(missing);
    EXPECT_EQ(1u, CountEndingWith(settings_.tempFolder, L"tnsnames.ora"));
    EXPECT_LE(1u, CountEndingWith(settings_.tempFolder, L".bcp"));
}

TEST_F(BackupProcedure, OfflineBackupIsReopenedOnlyWhenAskedAndWhileRecoveryManagerRuns) {
    ASSERT_TRUE(Backup([](OracleSettings& s) {
        s.onlineBackup = false;
        s.openAfterBackup = false;
    })) << Dialogue();
    EXPECT_TRUE(Complete());
    EXPECT_EQ(DatabaseState::Mounted, db_.State());

    // Recovery Manager has ended before the closing steps: nothing is sent, and the end is the
    // reason.
    ASSERT_TRUE(db_.AddFault(FaultKind::Die, L"host*"));
    ASSERT_TRUE(Backup([](OracleSettings& s) { s.onlineBackup = false; }));
    EXPECT_FALSE(Complete());
    EXPECT_TRUE(log_.Commands().empty());
    EXPECT_EQ(0u, console_->GetErrorText().find(L"Unexpected rman shutdown"));
    EXPECT_EQ(DatabaseState::Mounted, db_.State());
}

// A failed backup brings back a database that it took down itself, when asked to; the failure's
// own message stays.
TEST_F(BackupProcedure, FailedOfflinePreparationReopensTheDatabaseWhenAsked) {
    ASSERT_TRUE(db_.AddFault(FaultKind::Fail, L"startup mount"));
    for (const bool openAfterBackup : {true, false}) {
        EXPECT_FALSE(Backup([&](OracleSettings& s) {
            s.onlineBackup = false;
            s.openAfterBackup = openAfterBackup;
        }));
        EXPECT_EQ(0u, console_->GetErrorText().find(L"Base startup failed: ")) << Dialogue();
        EXPECT_EQ(openAfterBackup ? DatabaseState::Open : DatabaseState::Down, db_.State());
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

// The online backup fails for want of archived logs, and the offline one that replaces it fails
// to mount.
TEST_F(NoArchiveLogBackup, AFailedFallbackBringsTheDatabaseBack) {
    ASSERT_TRUE(db_.AddFault(FaultKind::Fail, L"startup mount"));
    EXPECT_FALSE(Backup([](OracleSettings& s) {
        s.backupSPFile = false;
        s.backupControlFile = false;
    }));
    EXPECT_EQ(0u, console_->GetErrorText().find(L"Base startup failed: ")) << Dialogue();
    EXPECT_EQ(DatabaseState::Open, db_.State());
}

} // namespace
