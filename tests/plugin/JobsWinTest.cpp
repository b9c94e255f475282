// Backup and restore jobs end to end: the real library, the Recovery Manager simulator and a
// simulated database, as a backup host drives them.
#include "plugin/JobPaths.h"
#include "rman/BackupDescription.h"
#include "rman/RmanOutput.h"
#include "tests/support/FakeHost.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/win/SimulatedOracle.h"
#include "tests/virid/PackerTestTree.h"
#include "tools/pluginclient/PluginLibrary.h"
#include "tools/simdb/FileIo.h"
#include "tools/simdb/Layout.h"
#include "tools/simdb/Registry.h"
#include "tools/simdb/SimOracle.h"
#include "virid/Strings.h"
#include "virid/SystemError.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <map>
#include <thread>
#include <vector>

namespace {

using packer_test::EndOfArchive;
using packer_test::RawFile;
using packer_test::SumLine;
using simoracle::DatabaseState;
using simoracle::WreckScope;
using testing::AllOf;
using testing::Contains;
using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;
using testing::Value;
using testing_support::Narrow;
using testing_support::ScratchFolder;
using testing_support::ScriptedRun;
using testing_support::SimulatedOracle;
using Bytes = std::string;
using Texts = std::vector<std::wstring>;

const wchar_t kPassword[] = L"Pw#JobsTest-7731";
const wchar_t kQuoteHomeName[] = L"JobsQuoteHome";
const wchar_t kTempFolderError[] = L"Can't create temp folder. Please, check workstation setting";
const wchar_t kLogsLeftOut[] = L"The database keeps no archived logs (NOARCHIVELOG mode): the "
                               L"offline backup leaves them out";
const wchar_t kOnlineWithoutLogs[] =
    L"The online backup holds no archived logs (BackupArchiveLog is off): once the control file "
    L"is lost, this stream alone cannot make the database consistent again";
// What every backup job sends first and last: {tag} is its pieces' tag.
const Texts kOpening = {L"CONFIGURE CHANNEL DEVICE TYPE 'SBT_TAPE' CLEAR;",
                        L"CONFIGURE DEFAULT DEVICE TYPE TO DISK;", L"crosscheck backup;",
                        L"delete noprompt backup tag '{tag}';"};
const Texts kTidying = {L"crosscheck backup;", L"delete noprompt backup tag '{tag}';"};

Texts Joined(std::initializer_list<Texts> parts) {
    Texts all;
    for (const Texts& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The first entry whose name holds part; empty when there is none.
std::wstring EntryNamed(const Bytes& stream, const std::string& part) {
    for (const std::string& name : packer_test::Walk(stream).names)
        if (name.find(part) != std::string::npos)
            return testing_support::Wide(name);
    return std::wstring();
}

// The DBID that Recovery Manager's connect reported in a logged dialogue; empty when none.
std::wstring ReportedDbid(const RecordingLogger& logger) {
    for (const std::wstring& line : logger.Texts(LogDetail))
        if (!rman_output::TargetDbid(line).empty())
            return rman_output::TargetDbid(line);
    return std::wstring();
}

class JobsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::wstring error;
        ASSERT_TRUE(library_.Load(ProgramFolder() + L"OraclePlugin.dll", error));
        ASSERT_TRUE(oracle_.Ready()) << Narrow(oracle_.Error());
        tempPath_ = oracle_.Folder(L"temp");
        settings_.values = {
            {L"WSTempPath", tempPath_ + L"\\"}, {L"UserName", L"system"}, {L"Password", kPassword}};
    }
    void TearDown() override {
        std::wstring error;
        simoracle::RemoveHome(kQuoteHomeName, error);
        // The password never reaches the host, at any level.
        EXPECT_THAT(logger_.All(), testing::Not(HasSubstr(kPassword)));
    }

    static simoracle::InstanceOptions JobDatabase() {
        simoracle::InstanceOptions options;
        options.password = kPassword;
        options.sizeMb = 2;
        return options;
    }
    static size_t CountEntries(const std::wstring& folder) {
        return simoracle::ListFolder(folder, true).size() +
               simoracle::ListFolder(folder, false).size();
    }
    void CreateInstance(const std::wstring& sid, bool archiveLog = true) {
        ASSERT_TRUE(oracle_.AddInstance(sid, archiveLog)) << Narrow(oracle_.Error());
    }
    std::wstring Item(const std::wstring& sid) const { return oracle_.HomeName() + L"\\" + sid; }
    // The commands sent to Recovery Manager, in order. Its own lines never end with a semicolon
    // (a RUN block with a brace) and never start a block, but for the setting that its answer to
    // a CONFIGURE lists under "old (or new) RMAN configuration parameters:".
    Texts CommandsSent() const {
        Texts commands;
        bool listedSetting = false;
        for (const std::wstring& line : logger_.Texts(LogDetail)) {
            if (!listedSetting && !line.empty() &&
                (line.back() == L';' || line.compare(0, 5, L"run {") == 0))
                commands.push_back(line);
            listedSetting = line.find(L"RMAN configuration parameters:") != std::wstring::npos;
        }
        return commands;
    }
    // The commands with the values in place of their names, the Oracle home in place of {home},
    // and the job folder as the commands sent name it in place of {folder}, its pieces' tag in
    // place of {tag}.
    Texts FilledIn(Texts commands, std::map<std::wstring, std::wstring> values) const {
        const std::wstring prefix = tempPath_ + L"\\";
        for (const std::wstring& command : CommandsSent()) {
            const size_t at = command.find(prefix);
            if (at != std::wstring::npos) {
                values[L"{folder}"] = command.substr(at, command.find(L".ora", at) + 4 - at);
                values[L"{tag}"] = JobBackupTag(values[L"{folder}"]);
                break;
            }
        }
        values[L"{home}"] = oracle_.HomeDir();
        for (std::wstring& command : commands)
            for (const auto& value : values)
                command = VIRid::strings::Replace(command, value.first, value.second);
        return commands;
    }
    // Recovery Manager on sid, connected as the jobs' user, given the statements.
    ScriptedRun RmanOn(const std::wstring& sid, const std::string& statements) const {
        return oracle_.Rman(
            "connect target system/" + Narrow(kPassword) + ";\n" + statements + "exit;\n", sid);
    }
    size_t ArchivedLogs(const std::wstring& sid) const {
        const simoracle::DatabaseFiles files(oracle_.HomeDir(), sid);
        return simoracle::ListFolder(files.ArchiveFolder(), false).size();
    }
    // A stream's entries in order, and what its description says (found: whether it has one).
    struct StreamContents {
        std::vector<std::string> names;
        DescriptionFound found = DescriptionFound::No;
        BackupDescription description;
    };
    static StreamContents Contents(const Bytes& stream) {
        StreamContents contents;
        contents.names = packer_test::Walk(stream).names;
        const ScratchFolder folder;
        EXPECT_EQ(
            VIRid::DirPacker::Ok,
            packer_test::Unpack(stream, folder.Path(), packer_test::FixedBlocks(1 << 20)).close);
        std::wstring error;
        contents.found = ReadBackupDescription(folder.Path(), contents.description, error);
        return contents;
    }
    // The one error logged; a failure when there is not exactly one.
    std::wstring OnlyError() const {
        const Texts errors = logger_.Texts(LogError);
        EXPECT_EQ(1u, errors.size()) << Narrow(logger_.All());
        return errors.size() == 1 ? errors[0] : std::wstring();
    }
    // The database is in the state, with the content digested before; neither a job folder nor
    // Recovery Manager is left.
    void ExpectLeft(const std::wstring& sid, const std::string& before, DatabaseState state) {
        EXPECT_EQ(before, oracle_.Digest(sid));
        EXPECT_EQ(state, oracle_.State(sid));
        EXPECT_EQ(0u, CountEntries(tempPath_)) << "a job folder stays";
        EXPECT_EQ(0u, oracle_.RunningRman()) << "Recovery Manager still runs";
    }
    void ExpectUntouched(const std::wstring& sid, const std::string& before) {
        ExpectLeft(sid, before, DatabaseState::Open);
    }

    // A whole backup job: Open, Read until the end (or stopAfter bytes), Close. Returns Close's
    // result (or the first failure) and the stream; a failed Open gives no handle.
    int32_t Backup(const std::wstring& sid, Bytes& stream, size_t stopAfter = SIZE_MAX) {
        return BackupItem(Item(sid), stream, logger_, settings_, stopAfter);
    }
    int32_t BackupItem(const std::wstring& item, Bytes& stream, RecordingLogger& logger,
                       MapSettings settings, size_t stopAfter = SIZE_MAX) {
        PluginDataObject* source = library_.GetBackupDataRead(&logger, &settings);
        uint32_t handle = 77;
        int32_t result = source->Open(item, 0, handle);
        if (result == Success) {
            result = ReadAll(source, handle, stream, stopAfter);
            const int32_t closed = source->Close(handle);
            result = result == Success ? closed : result;
        } else {
            EXPECT_EQ(0u, handle) << Narrow(item);
        }
        source->Release();
        return result;
    }
    static int32_t ReadAll(PluginDataObject* source, uint32_t handle, Bytes& stream,
                           size_t stopAfter = SIZE_MAX) {
        std::vector<unsigned char> buffer(std::min<size_t>(stopAfter, 256 * 1024));
        while (stream.size() < stopAfter) {
            uint32_t size = static_cast<uint32_t>(buffer.size());
            const int32_t result = source->Read(buffer.data(), size, handle);
            if (result != Success)
                return result == EndOfData ? Success : result;
            stream.append(buffer.begin(), buffer.begin() + size);
        }
        return Success;
    }
    // Opens a restore job of sid and writes the stream to it in blocks of blockSize bytes;
    // returns the first failure.
    int32_t StartRestore(PluginDataObject* sink, const std::wstring& sid, const Bytes& stream,
                         uint32_t& handle, size_t blockSize = 100000) {
        int32_t result = sink->Open(Item(sid), 1, handle);
        for (size_t at = 0; at < stream.size() && result == Success; at += blockSize) {
            uint32_t size = static_cast<uint32_t>(std::min(blockSize, stream.size() - at));
            result = sink->Write(reinterpret_cast<const unsigned char*>(&stream[at]), size, handle);
        }
        return result;
    }
    int32_t Restore(const std::wstring& sid, const Bytes& stream, size_t blockSize = 100000) {
        PluginDataObject* sink = library_.GetBackupDataWrite(&logger_, &settings_);
        uint32_t handle = 0;
        int32_t result = StartRestore(sink, sid, stream, handle, blockSize);
        const int32_t closed = handle != 0 ? sink->Close(handle) : result;
        sink->Release();
        return result == Success ? closed : result;
    }
    // Wrecks the database to the scope, restores the stream and expects the digest before.
    void ExpectRestored(const std::wstring& sid, const Bytes& stream, const std::string& before,
                        WreckScope scope = WreckScope::DataFiles) {
        ASSERT_TRUE(oracle_.Wreck(scope, sid)) << Narrow(oracle_.Error());
        EXPECT_NE(before, oracle_.Digest(sid));
        logger_.Clear();
        ASSERT_EQ(Success, Restore(sid, stream)) << Narrow(logger_.All());
        ExpectUntouched(sid, before);
    }

    SimulatedOracle oracle_{JobDatabase()};
    ScratchFolder root_;
    std::wstring tempPath_;
    PluginLibrary library_;
    MapSettings settings_;
    RecordingLogger logger_;
};

// Online, offline and NOARCHIVELOG (offline instead) backups restore a wrecked database, each
// with another form of the temp path (one without its separator at the end); every form makes job
// folders in it that are deleted again. A cleared option leaves its piece out (archived logs are
// then not restored either, and an online backup says what that costs), and a piece or network
// file that fails to copy leaves the rest of the backup to go on.
TEST_F(JobsTest, BackupsRestoreAWreckedDatabaseWithEveryFormOfTheTempPath) {
    std::wstring slashed = tempPath_ + L"/";
    std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
    ASSERT_TRUE(DeleteFileW((oracle_.HomeDir() + L"\\network\\ADMIN\\sqlnet.ora").c_str()));
    const MapSettings defaults = settings_;
    const struct {
        const wchar_t* sid;
        bool archiveLog;
        std::map<std::wstring, std::wstring> options; // besides the defaults
        const wchar_t* failedPiece;                   // the backup command that fails, if any
        std::vector<std::string> absent;              // pieces the stream leaves out
        std::wstring tempForm;
        WreckScope scope;
        Texts warnings;
    } cases[] = {
        {L"ONL",
         true,
         {{L"BackupControlFile", L"no"}, {L"BackupArchiveLog", L"0"}},
         L"backup spfile*",
         {".spfile", ".controlfile", ".archlog"},
         slashed,
         WreckScope::DataFiles,
         {kOnlineWithoutLogs}},
        {L"OFF",
         true,
         {{L"OnlineBackup", L"0"}},
         nullptr,
         {},
         tempPath_ + L"\\..\\temp",
         WreckScope::ControlFileToo,
         {}},
        {L"NOARC", false, {}, nullptr, {}, tempPath_ + L"\\\\", WreckScope::DataFiles, {}},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(Narrow(entry.sid));
        CreateInstance(entry.sid, entry.archiveLog);
        if (entry.failedPiece != nullptr) {
            ASSERT_TRUE(
                oracle_.AddFault(simoracle::FaultKind::Fail, entry.failedPiece, {}, entry.sid));
        }
        settings_ = defaults;
        settings_.values[L"WSTempPath"] = entry.tempForm;
        settings_.values.insert(entry.options.begin(), entry.options.end());
        const std::string before = oracle_.Digest(entry.sid);
        ASSERT_FALSE(before.empty());
        logger_.Clear();
        Bytes stream;
        ASSERT_EQ(Success, Backup(entry.sid, stream)) << Narrow(logger_.All());
        EXPECT_THAT(logger_.All(), HasSubstr(L"format '" + tempPath_ + L"\\"));
        EXPECT_EQ(entry.warnings, logger_.Texts(LogWarning));
        for (const std::string& piece : entry.absent)
            EXPECT_EQ(L"", EntryNamed(stream, piece));
        // The password file is copied after the missing network file.
        EXPECT_EQ(L"", EntryNamed(stream, "sqlnet.ora"));
        EXPECT_NE(L"", EntryNamed(stream, "PWD" + Narrow(entry.sid) + ".ora"));
        ExpectUntouched(entry.sid, before);
        if (&entry == cases) {
            // Over the live database, which reports the backup's own DBID, the restore goes on.
            logger_.Clear();
            EXPECT_EQ(Success, Restore(entry.sid, stream)) << Narrow(logger_.All());
            EXPECT_FALSE(ReportedDbid(logger_).empty());
            ExpectUntouched(entry.sid, before);
        }
        ExpectRestored(entry.sid, stream, before, entry.scope);
        EXPECT_EQ(entry.options.count(L"BackupArchiveLog") == 0,
                  Value(CommandsSent(), Contains(L"restore archivelog all;")));
    }
}

// An offline backup stopped early, or whose reopen fails (it streams all the same), still fails
// Close (the database opened again: OpenAfterBackup's other value is the release's test). A dump
// that leaves no database piece is never streamed. An online backup that fails for another reason
// than NOARCHIVELOG never goes offline; a failed preparation for an offline backup, or for the
// offline one that replaces a NOARCHIVELOG online backup, brings the database back when asked to.
TEST_F(JobsTest, BackupFailuresKeepTheirReasonAndTheDatabaseAsItWas) {
    CreateInstance(L"BFAIL");
    CreateInstance(L"BNOARC", false);
    const std::string before = oracle_.Digest(L"BFAIL");
    settings_.values[L"OnlineBackup"] = L"0";
    Bytes early;
    EXPECT_EQ(Failure, Backup(L"BFAIL", early, 1024));
    EXPECT_NE(L"", OnlyError());
    ExpectUntouched(L"BFAIL", before);
    // Recovery Manager reports the dump done, but it wrote no database piece.
    ASSERT_TRUE(oracle_.AddFault(simoracle::FaultKind::NoPiece, L"backup as*", {}, L"BFAIL"));
    settings_.values.erase(L"OnlineBackup");
    logger_.Clear();
    Bytes unwritten;
    EXPECT_EQ(Failure, Backup(L"BFAIL", unwritten));
    EXPECT_THAT(OnlyError(),
                AllOf(StartsWith(L"Backup database failed: The backup holds no database piece"),
                      HasSubstr(L"; nothing was streamed")));
    EXPECT_TRUE(unwritten.empty());
    ExpectUntouched(L"BFAIL", before);

    using simoracle::FaultKind;
    const wchar_t kNotReopened[] =
        L"The database could not be opened again after the offline backup (";
    const struct {
        const wchar_t* sid;
        std::wstring online, openAfter;
        FaultKind kind;
        std::wstring command, reason, sentence;
        bool streamed;
        DatabaseState after;
    } cases[] = {
        // The file's name holds the code that takes a backup offline; the error's code does not.
        {L"BFAIL", L"1", L"1", FaultKind::Fail, L"backup as*",
         L"ORA-19502: write error on file \"C:\\ORA-19602\\X.BCP\"", L"Backup database failed: ",
         false, DatabaseState::Open},
        // The step that met Recovery Manager's end comes first, its end after it.
        {L"BFAIL", L"1", L"1", FaultKind::Die, L"backup as*", L"",
         L"Backup database failed: Unexpected rman shutdown", false, DatabaseState::Open},
        {L"BFAIL", L"0", L"1", FaultKind::Fail, L"alter database open",
         L"ORA-01113: file 1 needs media recovery",
         kNotReopened + std::wstring(L"Alter database open failed: "), true,
         DatabaseState::Mounted},
        {L"BFAIL", L"0", L"1", FaultKind::Fail, L"startup mount", L"", L"Base startup failed: ",
         false, DatabaseState::Open},
        // Recovery Manager has ended before the closing steps: its end is the reason.
        {L"BFAIL", L"0", L"1", FaultKind::Die, L"host*", L"",
         kNotReopened + std::wstring(L"Alter database open failed: Unexpected rman shutdown)"),
         true, DatabaseState::Mounted},
        {L"BFAIL", L"0", L"0", FaultKind::Fail, L"startup mount", L"", L"Base startup failed: ",
         false, DatabaseState::Down},
        // The online backup fails for want of archived logs, and the offline one fails to mount.
        {L"BNOARC", L"1", L"1", FaultKind::Fail, L"startup mount", L"", L"Base startup failed: ",
         false, DatabaseState::Open},
    };
    // Each row starts from the state that the one before left.
    for (const auto& entry : cases) {
        SCOPED_TRACE(Narrow(entry.sid + (L" " + entry.command)));
        const std::string sidBefore = oracle_.Digest(entry.sid);
        ASSERT_TRUE(oracle_.ClearFaults(entry.sid));
        std::vector<std::wstring> reason;
        if (!entry.reason.empty())
            reason.push_back(entry.reason);
        ASSERT_TRUE(oracle_.AddFault(entry.kind, entry.command, reason, entry.sid));
        settings_.values[L"OnlineBackup"] = entry.online;
        settings_.values[L"OpenAfterBackup"] = entry.openAfter;
        logger_.Clear();
        Bytes stream;
        EXPECT_EQ(Failure, Backup(entry.sid, stream));
        const std::wstring error = OnlyError();
        EXPECT_THAT(error, AllOf(StartsWith(entry.sentence), HasSubstr(entry.reason)));
        EXPECT_EQ(entry.streamed,
                  Value(error, HasSubstr(L"; the backup stream itself is complete")));
        EXPECT_EQ(entry.streamed, !stream.empty()) << "streamed only when the dump succeeded";
        // Only an offline backup, asked for or instead of a NOARCHIVELOG one, goes down.
        const bool offline = entry.online == L"0" || entry.sid == std::wstring(L"BNOARC");
        EXPECT_EQ(offline, Value(CommandsSent(), Contains(L"shutdown immediate;")));
        ExpectLeft(entry.sid, sidBefore, entry.after);
    }
}

// A hostile stream, or one without a database piece, fails before Recovery Manager starts (the
// packer's reasons for damage are its own tests'); a restore that fails in Recovery Manager keeps
// its job and folder, so that closing again once the cause is gone restores.
TEST_F(JobsTest, FailedRestoresOfDamagedStreamsOrInRecoveryManager) {
    CreateInstance(L"DMG");
    Bytes stream;
    ASSERT_EQ(Success, Backup(L"DMG", stream));
    const std::string before = oracle_.Digest(L"DMG");
    const std::pair<Bytes, std::wstring> damaged[] = {
        {RawFile("../escaped.bcp", "evil") + EndOfArchive(), L"unsafe name"},
        {RawFile("PWDDMG.ora", "evil") + RawFile("SHA256SUMS", SumLine("PWDDMG.ora", "evil")) +
             EndOfArchive(),
         L"no database piece"},
    };
    for (const auto& entry : damaged) {
        SCOPED_TRACE(Narrow(entry.second));
        logger_.Clear();
        EXPECT_EQ(Failure, Restore(L"DMG", entry.first, 4096));
        EXPECT_THAT(OnlyError(), HasSubstr(entry.second));
        EXPECT_EQ(Texts(), logger_.Texts(LogDetail)) << "Recovery Manager ran";
        ExpectUntouched(L"DMG", before);
    }

    const std::pair<std::wstring, std::wstring> faults[] = {
        {L"restore database*", L"Can't restore database: "},
        // A recovery until before the first log cannot follow a restore: reset logs fails too,
        // and the recovery's own failure is the reason.
        {L"recover database", L"Can't recover database: "},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(Narrow(fault.first));
        ASSERT_TRUE(oracle_.Wreck(WreckScope::DataFiles, L"DMG"));
        ASSERT_TRUE(oracle_.AddFault(simoracle::FaultKind::Fail, fault.first, {}, L"DMG"));
        logger_.Clear();
        PluginDataObject* sink = library_.GetBackupDataWrite(&logger_, &settings_);
        uint32_t handle = 0;
        ASSERT_EQ(Success, StartRestore(sink, L"DMG", stream, handle, stream.size()));
        EXPECT_EQ(Failure, sink->Close(handle));
        EXPECT_THAT(OnlyError(), AllOf(StartsWith(fault.second), HasSubstr(L"ORA-00600"),
                                       Not(HasSubstr(L"ORA-01139"))));
        EXPECT_EQ(DatabaseState::Mounted, oracle_.State(L"DMG"));
        // Kept, with the note that marks it to stay when another job meets it.
        const std::vector<std::wstring> kept = simoracle::ListFolder(tempPath_, true);
        ASSERT_EQ(1u, kept.size());
        EXPECT_EQ(1u, CountEntries(tempPath_));
        EXPECT_TRUE(
            simoracle::FileExists(tempPath_ + L"\\" + kept[0] + L"\\KEPT-FOR-MANUAL-RESTORE.txt"));
        EXPECT_THAT(logger_.Texts(LogWarning),
                    testing::ElementsAre(
                        StartsWith(L"The unpacked backup stays in '" + tempPath_ + L"\\")));
        ASSERT_TRUE(oracle_.ClearFaults(L"DMG"));
        EXPECT_EQ(Success, sink->Close(handle)) << Narrow(logger_.All());
        sink->Release();
        ExpectUntouched(L"DMG", before);
    }
}

// A restore never takes another database's stream: the DBID that the pieces' names carry is
// checked before anything is sent. (A bare instance restored from its own stream is checked end
// to end, in a fresh prefix.) A restore that cannot mount the database stops there.
TEST_F(JobsTest, ARestoreTakesTheStreamOfTheSameDatabaseAloneAndStopsWhereItCannotMount) {
    CreateInstance(L"SRC");
    CreateInstance(L"DST");
    const std::string before = oracle_.Digest(L"DST");
    Bytes stream;
    ASSERT_EQ(Success, Backup(L"SRC", stream));
    const std::wstring dbid = ReportedDbid(logger_);
    logger_.Clear();
    PluginDataObject* sink = library_.GetBackupDataWrite(&logger_, &settings_);
    uint32_t handle = 0;
    ASSERT_EQ(Success, StartRestore(sink, L"DST", stream, handle));
    EXPECT_EQ(Failure, sink->Close(handle));
    // A refusal that another attempt cannot mend ends the job: nothing of the stream stays.
    EXPECT_EQ(0u, CountEntries(tempPath_));
    EXPECT_EQ(Failure, sink->Close(handle));
    sink->Release();
    EXPECT_EQ(Texts(), logger_.Texts(LogWarning));
    const std::wstring targetDbid = ReportedDbid(logger_);
    ASSERT_FALSE(dbid.empty());
    ASSERT_NE(dbid, targetDbid);
    EXPECT_THAT(OnlyError(), AllOf(HasSubstr(L"DBID " + dbid), HasSubstr(L"DBID " + targetDbid)));
    EXPECT_EQ(Texts(), CommandsSent());
    EXPECT_EQ(DatabaseState::Open, oracle_.State(L"DST"));
    EXPECT_EQ(before, oracle_.Digest(L"DST"));

    // The stream holds no control-file piece, and the restore's BackupSPFile is off: the control
    // file comes from the database backup set that includes it.
    settings_.values[L"BackupSPFile"] = L"no";
    settings_.values[L"BackupControlFile"] = L"no";
    stream.clear();
    ASSERT_EQ(Success, Backup(L"DST", stream));
    EXPECT_EQ(L"", EntryNamed(stream, ".spfile") + EntryNamed(stream, ".controlfile"));
    ASSERT_TRUE(oracle_.Wreck(WreckScope::ControlFileToo, L"DST"));
    logger_.Clear();
    ASSERT_EQ(Success, Restore(L"DST", stream)) << Narrow(logger_.All());
    EXPECT_THAT(CommandsSent(), testing::Contains(testing::AllOf(
                                    StartsWith(L"restore controlfile from '" + tempPath_),
                                    testing::EndsWith(L".bcp';"))));
    EXPECT_EQ(DatabaseState::Open, oracle_.State(L"DST"));
    EXPECT_EQ(before, oracle_.Digest(L"DST"));
    settings_.values.erase(L"BackupControlFile");

    // Another database's stream onto an instance without its control file: the connect to the
    // instance that the failed mount started names the database, and the stream is refused; the
    // instance is down again and its files as they were. A bare instance, which has no parameter
    // file, stays down when the stream holds none.
    Bytes foreign;
    ASSERT_EQ(Success, Backup(L"SRC", foreign));
    const std::wstring homeFiles[] = {oracle_.HomeDir() + L"\\database",
                                      oracle_.HomeDir() + L"\\oradata\\DST"};
    const struct {
        WreckScope scope;
        const Bytes* stream;
        const wchar_t* error;
        Texts sent;
    } cases[] = {
        {WreckScope::ControlFileToo,
         &foreign,
         L"The backup belongs to another database (SRC), not to the target (DST); the target was "
         L"not touched",
         {L"shutdown immediate;", L"startup mount;", L"shutdown immediate;"}},
        // The stand-in instance that the failed mount started is shut down again.
        {WreckScope::All,
         &stream,
         L"Can't mount database for restoring data (the instance has no parameter file and the "
         L"backup holds none to restore)",
         {L"shutdown immediate;", L"startup mount;", L"shutdown immediate;"}},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(Narrow(entry.error));
        ASSERT_TRUE(oracle_.Wreck(entry.scope, L"DST"));
        const size_t filesLeft = CountEntries(homeFiles[0]) + CountEntries(homeFiles[1]);
        logger_.Clear();
        EXPECT_EQ(Failure, Restore(L"DST", *entry.stream));
        EXPECT_THAT(OnlyError(), StartsWith(entry.error));
        EXPECT_EQ(entry.sent, CommandsSent());
        EXPECT_EQ(DatabaseState::Down, oracle_.State(L"DST"));
        EXPECT_EQ(filesLeft, CountEntries(homeFiles[0]) + CountEntries(homeFiles[1]));
    }
}

// A job with none of the newer settings sends exactly these commands, in this order, whatever is
// added later: {folder} is the job folder, {home} the Oracle home; a restore onto a database
// without its control file names the backup's DBID and pieces. A dump that cannot be packed
// fails at Open, with the closing steps run and no folder left.
TEST_F(JobsTest, JobsSendExactlyTheseCommands) {
    CreateInstance(L"GOLD");
    CreateInstance(L"GNOARC", false);
    const Texts pieces = {L"backup spfile tag '{tag}' format '{folder}\\%d-%I-%T-%U.spfile';",
                          L"backup current controlfile tag '{tag}' format "
                          L"'{folder}\\%d-%I-%T-%U.controlfile';"};
    const std::wstring withLogs = L"backup as compressed backupset database tag '{tag}' format "
                                  L"'{folder}\\%d-%I-%T-%U.bcp' plus archivelog tag '{tag}' format "
                                  L"'{folder}\\%h-%e-%d-%I-%T-%U.archlog';";
    const std::wstring withoutLogs = L"backup as compressed backupset database tag '{tag}' format "
                                     L"'{folder}\\%d-%I-%T-%U.bcp' ;";
    // The streamed way: the same backup on a channel that cuts it into pieces, as one block.
    const std::wstring streamedWithLogs =
        L"run { allocate channel c1 device type disk maxpiecesize 64M; backup as compressed "
        L"backupset database tag '{tag}' format '{folder}\\%d-%I-%T-%U.bcp' plus "
        L"archivelog tag '{tag}' format '{folder}\\%h-%e-%d-%I-%T-%U.archlog'; }";
    const std::wstring streamedWithoutLogs =
        L"run { allocate channel c1 device type disk maxpiecesize 64M; backup as compressed "
        L"backupset database tag '{tag}' format '{folder}\\%d-%I-%T-%U.bcp'; }";
    const Texts schema = {L"report schema;"};
    const Texts copies = {L"host 'copy /Y \"{home}\\network\\ADMIN\\tnsnames.ora\" \"{folder}\"';",
                          L"host 'copy /Y \"{home}\\network\\ADMIN\\listener.ora\" \"{folder}\"';",
                          L"host 'copy /Y \"{home}\\network\\ADMIN\\sqlnet.ora\" \"{folder}\"';",
                          L"host 'copy /Y \"{home}\\database\\PWD{sid}.ora\" \"{folder}\"';"};
    // What the description of the stream is read from; the logs only when the backup took some.
    const Texts listing = {L"list backup of database tag '{tag}';",
                           L"list backup of archivelog all tag '{tag}';"};
    // A restore names the tag that the stream's pieces carry.
    const Texts restoreTidying = {L"crosscheck backup;",
                                  L"delete noprompt backup tag '{streamtag}';"};
    const Texts mount = {L"shutdown immediate;", L"startup mount;"};
    const Texts restore = {L"CATALOG START WITH '{folder}' noprompt;",
                           L"restore database from tag '{streamtag}';", L"restore archivelog all;",
                           L"recover database;"};
    const Texts open = {L"alter database open;"};
    const Texts onlineBackup = Joined({kOpening, pieces, {withLogs}, copies, listing, kTidying});
    // An offline backup opens the database again as soon as it is written, before the host
    // reads the stream.
    const Texts offlineWithoutLogs = Joined({copies, {listing[0]}, open, kTidying});
    const struct {
        const wchar_t* sid;
        const wchar_t* onlineBackup;
        const wchar_t* pieceSize;
        Texts commands;
    } backups[] = {
        // Online first; Oracle refuses it for want of archived logs (ORA-19602).
        {L"GNOARC", L"1", L"0",
         Joined({kOpening, pieces, {withLogs}, mount, {withoutLogs}, offlineWithoutLogs})},
        {L"GNOARC", L"1", L"64",
         Joined({kOpening,
                 pieces,
                 schema,
                 {streamedWithLogs},
                 mount,
                 {streamedWithoutLogs},
                 offlineWithoutLogs})},
        {L"GOLD", L"1", L"64",
         Joined({kOpening, pieces, schema, {streamedWithLogs}, copies, listing, kTidying})},
        {L"GOLD", L"1", L"0", onlineBackup},
        {L"GOLD", L"0", L"0",
         Joined({kOpening, mount, pieces, {withLogs}, copies, listing, open, kTidying})},
    };
    Bytes stream;
    for (const auto& backup : backups) {
        SCOPED_TRACE(Narrow(backup.sid + (L" online " + std::wstring(backup.onlineBackup)) +
                            L" piece size " + backup.pieceSize));
        settings_.values[L"OnlineBackup"] = backup.onlineBackup;
        settings_.values[L"PieceSize"] = backup.pieceSize;
        logger_.Clear();
        stream.clear();
        ASSERT_EQ(Success, Backup(backup.sid, stream)) << Narrow(logger_.All());
        EXPECT_EQ(FilledIn(backup.commands, {{L"{sid}", backup.sid}}), CommandsSent());
    }
    settings_.values.erase(L"OnlineBackup");

    // The stream of the offline backup of GOLD.
    const std::wstring spFile = EntryNamed(stream, ".spfile");
    const std::wstring controlFile = EntryNamed(stream, ".controlfile");
    const std::wstring dbid = ReportedDbid(logger_);
    ASSERT_FALSE(spFile.empty() || controlFile.empty() || dbid.empty());
    const struct {
        WreckScope scope;
        Texts commands;
    } restores[] = {
        {WreckScope::DataFiles,
         Joined({mount, {L"startup mount;"}, restoreTidying, restore, open, restoreTidying})},
        // With the control file from the backup, recovery asks for a log past the last one
        // (RMAN-06054): a recovery until before the first log and an open with reset logs follow.
        {WreckScope::ControlFileToo,
         Joined({mount,
                 {L"set DBID {dbid};", L"startup force nomount;",
                  L"restore spfile from '{folder}\\{spfile}';", L"shutdown immediate;",
                  L"startup force nomount;", L"restore controlfile from '{folder}\\{controlfile}';",
                  L"shutdown immediate;", L"startup mount;"},
                 restoreTidying,
                 restore,
                 {L"recover database until logseq 0;", L"alter database open resetlogs;"},
                 restoreTidying})},
    };
    for (const auto& entry : restores) {
        SCOPED_TRACE(static_cast<int>(entry.scope));
        ASSERT_TRUE(oracle_.Wreck(entry.scope, L"GOLD")) << Narrow(oracle_.Error());
        logger_.Clear();
        ASSERT_EQ(Success, Restore(L"GOLD", stream)) << Narrow(logger_.All());
        EXPECT_EQ(FilledIn(entry.commands, {{L"{dbid}", dbid},
                                            {L"{spfile}", spFile},
                                            {L"{controlfile}", controlFile},
                                            {L"{streamtag}", Contents(stream).description.tag}}),
                  CommandsSent());
    }

    // A file that the stream keeps for its manifest, copied into the folder by the dump: the
    // packer refuses the folder at Open.
    const std::wstring sqlnet = oracle_.HomeDir() + L"\\network\\ADMIN\\sqlnet.ora";
    ASSERT_TRUE(DeleteFileW(sqlnet.c_str()) && CreateDirectoryW(sqlnet.c_str(), nullptr));
    ASSERT_TRUE(simoracle::WriteFileBytes(sqlnet + L"\\SHA256SUMS", "x"));
    const std::string before = oracle_.Digest(L"GOLD");
    logger_.Clear();
    PluginDataObject* source = library_.GetBackupDataRead(&logger_, &settings_);
    uint32_t handle = 7;
    EXPECT_EQ(Failure, source->Open(Item(L"GOLD"), 0, handle));
    EXPECT_EQ(0u, handle);
    source->Release();
    EXPECT_EQ(L"The folder holds a file of the name that the backup stream keeps for its manifest: "
              L"'SHA256SUMS'",
              OnlyError());
    EXPECT_EQ(FilledIn(onlineBackup, {{L"{sid}", L"GOLD"}}), CommandsSent())
        << "the closing steps ran";
    ExpectUntouched(L"GOLD", before);
}

// Pieces of at most PieceSize MiB, each streamed as soon as it is complete and in the order that
// Recovery Manager named them (several pieces of one set), each once: the parameter and control
// file pieces first, then the database and log pieces, the configuration files, the description
// and the manifest. The host hears of each piece, and of the staging peak at the end; no record
// of the tag remains, although the pieces' files went while the host read them; the stream
// restores the database.
TEST_F(JobsTest, AStreamedBackupStreamsEachPieceOnceInTheOrderNamedAndRestores) {
    CreateInstance(L"STRM");
    const std::string before = oracle_.Digest(L"STRM");
    settings_.values[L"PieceSize"] = L"1";
    Bytes stream;
    ASSERT_EQ(Success, Backup(L"STRM", stream)) << Narrow(logger_.All());
    std::vector<std::string> named;
    for (const std::wstring& line : logger_.Texts(LogDetail))
        for (const std::wstring& piece : rman_output::NamedPieces(line))
            named.push_back(Narrow(piece.substr(piece.find_last_of(L'\\') + 1)));
    const std::vector<std::string> names = Contents(stream).names;
    ASSERT_GE(named.size(), 5u) << Narrow(logger_.All());
    ASSERT_GT(names.size(), named.size() + 2);
    EXPECT_EQ(named, std::vector<std::string>(names.begin(), names.begin() + named.size()));
    EXPECT_THAT(named[0], testing::EndsWith(".spfile"));
    EXPECT_THAT(named[1], testing::EndsWith(".controlfile"));
    EXPECT_THAT(named, Contains(testing::EndsWith("_2_1.bcp")));
    EXPECT_THAT(std::vector<std::string>(names.begin() + named.size(), names.end() - 2),
                Contains("PWDSTRM.ora"));
    EXPECT_EQ((std::vector<std::string>{"BACKUP-DESCRIPTION.txt", "SHA256SUMS"}),
              std::vector<std::string>(names.end() - 2, names.end()));

    Texts streamed;
    for (const std::wstring& text : logger_.Texts(LogProgress))
        if (text.compare(0, 9, L"Streamed ") == 0)
            streamed.push_back(text);
    ASSERT_EQ(named.size(), streamed.size());
    EXPECT_THAT(streamed.back(), AllOf(StartsWith(L"Streamed " + std::to_wstring(named.size()) +
                                                  L" backup pieces, "),
                                       testing::EndsWith(L"% of the data files")));
    // The folder held at least the first database piece (of a full MiB, bar its set's header),
    // and never more than the stream carries.
    const std::wstring peakText = logger_.Texts(LogProgress).back();
    const std::wstring peakStart = L"Staging peak: the job folder held at most ";
    ASSERT_THAT(peakText, StartsWith(peakStart));
    const unsigned long long peak = std::wcstoull(peakText.c_str() + peakStart.size(), nullptr, 10);
    EXPECT_GE(peak, 1ULL << 19);
    EXPECT_LE(peak, stream.size());
    const std::wstring tag = Contents(stream).description.tag;
    ASSERT_FALSE(tag.empty());
    EXPECT_THAT(RmanOn(L"STRM", "list backup tag '" + Narrow(tag) + "';\n").output,
                HasSubstr("specification does not match any backup in the repository"));
    ExpectRestored(L"STRM", stream, before);
}

// Recovery Manager ends while it writes the data files, after Open: Read fails with the reason,
// nothing more is streamed, Close fails and leaves the database as it was found and no folder;
// the stream that the host got (no manifest) is refused before any Recovery Manager command.
// RmanTimeout ends a Recovery Manager that stalls: the job fails like any other, the step first
// and the timeout as its reason.
TEST_F(JobsTest, RecoveryManagerDyingOrStallingHalfWayFailsTheStreamAndTheRestoreOfIt) {
    CreateInstance(L"HALF");
    const std::string before = oracle_.Digest(L"HALF");
    ASSERT_TRUE(oracle_.AddFault(simoracle::FaultKind::DieMidway,
                                 L"backup as compressed backupset database*", {}, L"HALF"));
    settings_.values[L"PieceSize"] = L"1";
    PluginDataObject* source = library_.GetBackupDataRead(&logger_, &settings_);
    uint32_t handle = 0;
    ASSERT_EQ(Success, source->Open(Item(L"HALF"), 0, handle)) << Narrow(logger_.All());
    Bytes stream;
    EXPECT_EQ(Failure, ReadAll(source, handle, stream));
    uint32_t size = 4096;
    unsigned char block[4096];
    EXPECT_EQ(Failure, source->Read(block, size, handle)) << "nothing more";
    EXPECT_EQ(0u, size);
    EXPECT_EQ(Failure, source->Close(handle));
    source->Release();
    EXPECT_THAT(OnlyError(), StartsWith(L"Backup database failed: Unexpected rman shutdown"));
    EXPECT_EQ(EntryNamed(stream, "SHA256SUMS"), L"");
    ExpectUntouched(L"HALF", before);

    ASSERT_TRUE(oracle_.ClearFaults(L"HALF"));
    logger_.Clear();
    EXPECT_EQ(Failure, Restore(L"HALF", stream));
    EXPECT_EQ(Texts{}, CommandsSent());
    EXPECT_NE(L"", OnlyError());
    ExpectUntouched(L"HALF", before);

    ASSERT_TRUE(oracle_.AddFault(simoracle::FaultKind::Hang, L"backup as*", {}, L"HALF"));
    settings_.values[L"RmanTimeout"] = L"0.05";
    logger_.Clear();
    stream.clear();
    EXPECT_EQ(Failure, Backup(L"HALF", stream));
    EXPECT_EQ(L"Backup database failed: Recovery Manager wrote nothing for 0.05 minutes and no "
              L"file in the job folder grew (RmanTimeout); it was stopped",
              OnlyError());
    ExpectUntouched(L"HALF", before);
}

// A NOARCHIVELOG database is backed up offline both ways, and open again once Recovery Manager
// has written the backup, while the host still reads the stream (slowly, until the database is
// open): before the host has read the second piece of the data files.
TEST_F(JobsTest, AnOfflineBackupOpensTheDatabaseBeforeTheHostHasReadTheStream) {
    CreateInstance(L"SLOW", false);
    const std::string before = oracle_.Digest(L"SLOW");
    for (const wchar_t* pieceSize : {L"0", L"1"}) {
        SCOPED_TRACE(Narrow(pieceSize));
        settings_.values[L"PieceSize"] = pieceSize;
        logger_.Clear();
        PluginDataObject* source = library_.GetBackupDataRead(&logger_, &settings_);
        uint32_t handle = 0;
        ASSERT_EQ(Success, source->Open(Item(L"SLOW"), 0, handle)) << Narrow(logger_.All());
        std::vector<unsigned char> buffer(16384);
        Bytes stream;
        bool openWhileRead = false;
        for (int32_t result = Success; result == Success;) {
            uint32_t size = static_cast<uint32_t>(buffer.size());
            result = source->Read(buffer.data(), size, handle);
            stream.append(buffer.begin(), buffer.begin() + size);
            if (!openWhileRead && oracle_.State(L"SLOW") == DatabaseState::Open) {
                openWhileRead = result == Success && EntryNamed(stream, "_2_1.bcp").empty();
                EXPECT_TRUE(openWhileRead) << "open only once the pieces were read";
            }
            if (!openWhileRead)
                Sleep(100);
            ASSERT_NE(Failure, result) << Narrow(logger_.All());
        }
        EXPECT_TRUE(openWhileRead);
        EXPECT_EQ(Success, source->Close(handle)) << Narrow(logger_.All());
        source->Release();
        ExpectUntouched(L"SLOW", before);
    }
}

// Two jobs at once on one plug-in object both complete; so do two on two threads, each backing up
// its own instance (Recovery Manager's environment is the job's).
TEST_F(JobsTest, ConcurrentBackupsOfOneInstanceOrOfTwo) {
    CreateInstance(L"ONE");
    CreateInstance(L"TWO");
    PluginDataObject* source = library_.GetBackupDataRead(&logger_, &settings_);
    uint32_t handles[2] = {};
    Bytes both[2];
    ASSERT_EQ(Success, source->Open(Item(L"ONE"), 0, handles[0]));
    ASSERT_EQ(Success, source->Open(Item(L"TWO"), 0, handles[1]));
    for (uint32_t i = 0; i < 2; ++i) {
        EXPECT_EQ(i + 1, handles[i]);
        EXPECT_EQ(Success, ReadAll(source, handles[i], both[i]));
        EXPECT_FALSE(both[i].empty());
    }
    EXPECT_EQ(Success, source->Close(handles[0]));
    EXPECT_EQ(Success, source->Close(handles[1]));
    source->Release();
    EXPECT_EQ(0u, CountEntries(tempPath_));

    // One job per instance, each on its thread; a job of an instance that runs one already is
    // refused (see below).
    const std::string before[2] = {oracle_.Digest(L"ONE"), oracle_.Digest(L"TWO")};
    RecordingLogger loggers[2];
    Bytes streams[2];
    int32_t result = Failure;
    std::thread thread(
        [&] { result = BackupItem(Item(L"TWO"), streams[1], loggers[1], settings_); });
    EXPECT_EQ(Success, BackupItem(Item(L"ONE"), streams[0], loggers[0], settings_))
        << Narrow(loggers[0].All());
    thread.join();
    EXPECT_EQ(Success, result) << Narrow(loggers[1].All());
    ExpectRestored(L"ONE", streams[0], before[0]);
    ExpectRestored(L"TWO", streams[1], before[1]);
}

// A job that cannot start fails at Open with no handle, sends Recovery Manager nothing and leaves
// no folder; only a wrong password reaches it at all. Each error says what and why.
TEST_F(JobsTest, JobsThatCannotStartFailAtOpenWithTheirReason) {
    CreateInstance(L"TMP");
    const std::string before = oracle_.Digest(L"TMP");
    std::wstring error;
    ASSERT_TRUE(simoracle::CreateHome(kQuoteHomeName, root_ / L"o'home", error));
    ASSERT_TRUE(simoracle::CreateInstance(kQuoteHomeName, L"TMPQ", JobDatabase(), error));
    ASSERT_TRUE(CreateDirectoryW((root_ / L"o'brien").c_str(), nullptr));
    const wchar_t kTemp[] = L"WSTempPath", kPass[] = L"Password";
    const wchar_t kConnectError[] = L"Can't connect to the database: ";
    const std::wstring missing = root_ / L"missing\\";
    const struct {
        const wchar_t* key; // the setting changed, if any
        std::wstring value, item;
        std::wstring error;  // its start; empty: an unknown item
        std::wstring ending; // its end, if it matters
    } cases[] = {
        {nullptr, L"", L"NoSuchHome\\TMP", L"", L""},
        // A SID that no service of the home names.
        {nullptr, L"", Item(L"NOSUCH"), L"", L""},
        {kTemp, L"relative\\", Item(L"TMP"),
         kTempFolderError + std::wstring(L": WSTempPath 'relative\\' names no absolute folder"),
         L""},
        // The folder that could not be made, and the system's reason.
        {kTemp, missing, Item(L"TMP"), kTempFolderError + (L": '" + missing),
         L".ora': " + VIRid::system::ErrorText(ERROR_PATH_NOT_FOUND)},
        {L"RmanTimeout", L"1,5", Item(L"TMP"),
         L"The setting RmanTimeout is not a number of minutes (such as 30 or 0.5): '1,5'", L""},
        {kTemp, root_ / L"o'brien\\", Item(L"TMP"),
         L"The workstation's temp folder (WSTempPath) holds a quote, which Recovery Manager's "
         L"commands cannot carry: ",
         L""},
        {nullptr, L"", kQuoteHomeName + std::wstring(L"\\TMPQ"),
         L"The Oracle home's folder holds a quote, which Recovery Manager's commands cannot "
         L"carry: ",
         L""},
        {L"BackupType", L"incremental", Item(L"TMP"),
         L"Can't start the backup: the setting BackupType is 'incremental'; it takes 'full' or "
         L"'archivelog'",
         L""},
        {L"PieceSize", L"64M", Item(L"TMP"),
         L"Can't start the backup: the setting PieceSize is '64M'; it takes a whole number of MiB "
         L"from 0 to 1048576 (0: the whole backup is written before it is streamed)",
         L""},
        {kPass, L"wrongpassword", Item(L"TMP"), kConnectError, L""},
        {kPass, L"secret1; shutdown immediate;", Item(L"TMP"), kConnectError, L""},
    };
    const MapSettings defaults = settings_;
    for (const auto& entry : cases) {
        SCOPED_TRACE(Narrow(entry.item + L" " + entry.value));
        settings_ = defaults;
        if (entry.key)
            settings_.values[entry.key] = entry.value;
        logger_.Clear();
        Bytes stream;
        EXPECT_EQ(!entry.error.empty() ? Failure : UnknownItem,
                  BackupItem(entry.item, stream, logger_, settings_));
        const Texts errors = logger_.Texts(LogError);
        ASSERT_EQ(!entry.error.empty() ? 1u : 0u, errors.size()) << Narrow(logger_.All());
        if (entry.key != kPass) {
            EXPECT_EQ(errors.size(), logger_.Messages().size()) << "nothing but the error";
        } else {
            EXPECT_EQ(Texts{L"Dump database..."}, logger_.Texts(LogProgress));
            const bool sent = entry.value == L"wrongpassword";
            EXPECT_EQ(sent, Value(errors[0], HasSubstr(L"ORA-01017")));
            EXPECT_EQ(sent, Value(logger_.All(), HasSubstr(L"connect target")));
            EXPECT_THAT(logger_.All(), testing::Not(HasSubstr(entry.value)));
        }
        if (!entry.error.empty()) {
            EXPECT_THAT(errors[0], AllOf(StartsWith(entry.error), testing::EndsWith(entry.ending)));
        }
        EXPECT_EQ(Texts(), CommandsSent());
        ExpectUntouched(L"TMP", before);
        EXPECT_EQ(0u, CountEntries(root_ / L"o'brien"));
    }

    // A host may give no logger: the refusal is then its result alone.
    settings_ = defaults;
    settings_.values[kTemp] = missing;
    PluginDataObject* silent = library_.GetBackupDataRead(nullptr, &settings_);
    uint32_t handle = 7;
    EXPECT_EQ(Failure, silent->Open(Item(L"TMP"), 0, handle));
    EXPECT_EQ(0u, handle);
    silent->Release();
}

// A host that releases the object with jobs still open: each is closed as Close would close it,
// with a warning that names the instance and what was done. The database that an offline backup
// took down is opened again or left mounted, as OpenAfterBackup says; a restore runs nothing. No
// folder and no Recovery Manager stay.
TEST_F(JobsTest, ReleasingTheObjectClosesTheJobsLeftOpen) {
    CreateInstance(L"REL");
    CreateInstance(L"RELR");
    const std::string before[] = {oracle_.Digest(L"REL"), oracle_.Digest(L"RELR")};
    Bytes stream;
    ASSERT_EQ(Success, Backup(L"RELR", stream));
    settings_.values[L"OnlineBackup"] = L"0";
    const std::wstring released = L"was still open when the plug-in object was released; it was "
                                  L"closed: ";
    for (const std::wstring openAfter : {L"0", L"1"}) {
        SCOPED_TRACE(Narrow(openAfter));
        settings_.values[L"OpenAfterBackup"] = openAfter;
        PluginDataObject* object = library_.GetBackupDataWrite(&logger_, &settings_);
        uint32_t backup = 0;
        uint32_t restore = 0;
        Bytes partial;
        ASSERT_EQ(Success, object->Open(Item(L"REL"), 0, backup));
        ASSERT_EQ(Success, ReadAll(object, backup, partial, 4096));
        ASSERT_EQ(Success,
                  StartRestore(object, L"RELR", stream.substr(0, stream.size() / 2), restore));
        EXPECT_EQ(DatabaseState::Mounted, oracle_.State(L"REL"));
        EXPECT_EQ(2u, CountEntries(tempPath_));
        logger_.Clear();
        object->Release();
        EXPECT_THAT(
            logger_.Texts(LogWarning),
            testing::ElementsAre(
                AllOf(StartsWith(L"The backup job of instance 'REL' " + released +
                                 L"its stream was not read to its end" +
                                 (openAfter == L"1" ? L"; the database was opened again" : L"") +
                                 L"; its folder '" + tempPath_ + L"\\"),
                      testing::EndsWith(L".ora' was removed")),
                AllOf(StartsWith(L"The restore job of instance 'RELR' " + released +
                                 L"the database was not restored; its folder '" + tempPath_ +
                                 L"\\"),
                      testing::EndsWith(L".ora' was removed"))));
        EXPECT_EQ(Texts(), logger_.Texts(LogError));
        ExpectLeft(L"REL", before[0],
                   openAfter == L"1" ? DatabaseState::Open : DatabaseState::Mounted);
        ExpectUntouched(L"RELR", before[1]);
    }
}

// A database that the backup finds not open is backed up offline from where it stands: left as
// OpenAfterBackup says when it was mounted or started, shut down again when it was down. One that
// keeps no archived logs is backed up without them, saying so, whether offline was asked for or
// found; an online backup without them warns. A bare instance, which cannot mount, is refused and
// left down. Each row starts where the one before left its database; the last stream of the
// database without archived logs restores it.
TEST_F(JobsTest, BackupsOfDatabasesFoundNotOpenOrWithoutArchivedLogs) {
    CreateInstance(L"NA", false);
    CreateInstance(L"AL");
    simoracle::InstanceOptions bare = JobDatabase();
    bare.bare = true;
    std::wstring error;
    ASSERT_TRUE(simoracle::CreateInstance(oracle_.HomeName(), L"BARE", bare, error));
    const std::map<std::wstring, std::string> before = {{L"NA", oracle_.Digest(L"NA")},
                                                        {L"AL", oracle_.Digest(L"AL")}};
    const struct {
        const wchar_t* sid;
        const char* bring; // statements that bring the database to the state it is found in
        Texts warnings;
        DatabaseState after;
        std::map<std::wstring, std::wstring> options;
    } rows[] = {
        {L"NA",
         nullptr,
         {kLogsLeftOut},
         DatabaseState::Mounted,
         {{L"OnlineBackup", L"0"}, {L"OpenAfterBackup", L"0"}}},
        {L"NA", nullptr, {kLogsLeftOut}, DatabaseState::Open, {}},
        {L"NA", "shutdown immediate;\nstartup nomount;\n", {kLogsLeftOut}, DatabaseState::Open, {}},
        {L"AL", "shutdown immediate;\n", {}, DatabaseState::Down, {}},
        {L"AL",
         "startup;\n",
         {kOnlineWithoutLogs},
         DatabaseState::Open,
         {{L"BackupArchiveLog", L"no"}}},
        {L"NA",
         "shutdown immediate;\n",
         {kLogsLeftOut},
         DatabaseState::Down,
         {{L"OnlineBackup", L"0"}}},
    };
    const MapSettings defaults = settings_;
    Bytes stream;
    for (const auto& row : rows) {
        SCOPED_TRACE(Narrow(row.sid) + " " + (row.bring ? row.bring : ""));
        if (row.bring != nullptr) {
            const ScriptedRun run = RmanOn(row.sid, row.bring);
            ASSERT_EQ(0u, run.exitCode) << run.output;
        }
        settings_ = defaults;
        settings_.values.insert(row.options.begin(), row.options.end());
        logger_.Clear();
        stream.clear();
        ASSERT_EQ(Success, Backup(row.sid, stream)) << Narrow(logger_.All());
        EXPECT_EQ(row.warnings, logger_.Texts(LogWarning));
        ExpectLeft(row.sid, before.at(row.sid), row.after);
    }
    settings_ = defaults;
    ExpectRestored(L"NA", stream, before.at(L"NA"));

    logger_.Clear();
    stream.clear();
    EXPECT_EQ(Failure, Backup(L"BARE", stream));
    EXPECT_THAT(OnlyError(), StartsWith(L"Base startup failed: "));
    EXPECT_EQ(DatabaseState::Down, oracle_.State(L"BARE"));
    EXPECT_EQ(0u, CountEntries(tempPath_));
}

// One instance is one job at a time however its home is registered: through other registrations
// of the home (spelt in other case, with a separator or a "." at its end, which the service's
// ImagePath holds too) or a SID in other case, a job is refused while the first runs, before
// anything starts.
TEST_F(JobsTest, OneJobPerInstanceWhateverTheSpellingOfItsHome) {
    CreateInstance(L"TWICE");
    const std::wstring service = std::wstring(simoracle::kServicesKey) + L"\\OracleServiceTWICE";
    std::wstring imagePath;
    ASSERT_TRUE(simoracle::ReadRegistryString(service, L"ImagePath", imagePath));
    std::wstring lower = oracle_.HomeDir();
    std::transform(lower.begin(), lower.end(), lower.begin(), VIRid::strings::AsciiLower);
    const std::pair<std::wstring, std::wstring> spellings[] = {
        {oracle_.HomeName() + L"_SEP", lower + L"\\"},
        {oracle_.HomeName() + L"_DOT", lower + L"\\."}};
    // Registered for the test alone, and the service's ImagePath as it was, whatever happens.
    struct Unregister {
        std::vector<std::wstring> keys;
        std::wstring service, imagePath;
        ~Unregister() {
            for (const std::wstring& key : keys)
                simoracle::DeleteRegistryKey(key);
            simoracle::WriteRegistryString(service, L"ImagePath", imagePath);
        }
    } unregister{{}, service, imagePath};
    for (const auto& spelling : spellings) {
        const std::wstring key = std::wstring(simoracle::kOracleKey) + L"\\KEY_" + spelling.first;
        unregister.keys.push_back(key);
        ASSERT_TRUE(simoracle::WriteRegistryString(key, L"ORACLE_HOME_NAME", spelling.first) &&
                    simoracle::WriteRegistryString(key, L"ORACLE_HOME", spelling.second));
    }
    ASSERT_TRUE(simoracle::WriteRegistryString(service, L"ImagePath",
                                               oracle_.HomeDir() + L"\\.\\bin\\ORACLE.EXE TWICE"));

    PluginDataObject* first = library_.GetBackupDataRead(&logger_, &settings_);
    uint32_t handle = 0;
    ASSERT_EQ(Success, first->Open(Item(L"TWICE"), 0, handle));
    const std::pair<std::wstring, uint32_t> others[] = {{spellings[0].first + L"\\TWICE", 0},
                                                        {spellings[1].first + L"\\twice", 1},
                                                        {Item(L"twice"), 0}};
    for (const auto& other : others) {
        SCOPED_TRACE(Narrow(other.first));
        RecordingLogger logger;
        MapSettings settings = settings_;
        PluginDataObject* second = library_.GetBackupDataWrite(&logger, &settings);
        uint32_t refused = 7;
        EXPECT_EQ(Failure, second->Open(other.first, other.second, refused));
        EXPECT_EQ(0u, refused);
        second->Release();
        const std::wstring sid = other.first.substr(other.first.find(L'\\') + 1);
        EXPECT_EQ(Texts{L"Can't start the job: another backup or restore job of instance '" + sid +
                        L"' is running; try again when it has finished"},
                  logger.Texts(LogError));
        EXPECT_EQ(Texts(), logger.Texts(LogDetail));
        EXPECT_EQ(1u, CountEntries(tempPath_));
    }
    Bytes stream;
    EXPECT_EQ(Success, ReadAll(first, handle, stream));
    EXPECT_EQ(Success, first->Close(handle));
    first->Release();
}

// A host killed in the middle of a backup takes its Recovery Manager with it. The next Open
// removes the folder that the killed job left, as any other job folder that no running job holds,
// but names a folder kept for a manual restore with its age instead; nothing but job folders is
// touched. The kept folder holds pieces that Recovery Manager has catalogued under the tag of
// their stream: a later backup deletes the records and files of its own tag only.
TEST_F(JobsTest, AKilledHostLeavesNoRecoveryManagerAndItsFolderGoesAtTheNextOpen) {
    CreateInstance(L"KILL");
    CreateInstance(L"KHELD");
    const std::string before = oracle_.Digest(L"KILL");
    Bytes earlier;
    ASSERT_EQ(Success, Backup(L"KILL", earlier));
    // Beside the job folders: a folder kept for a manual restore, entries that are no job
    // folders, and the folder of a job that runs.
    const std::wstring kept = tempPath_ + L"\\1000.ora";
    const std::wstring others[] = {tempPath_ + L"\\notajob", tempPath_ + L"\\2000.ora"};
    ASSERT_TRUE(CreateDirectoryW(kept.c_str(), nullptr) &&
                CreateDirectoryW(others[0].c_str(), nullptr));
    ASSERT_EQ(VIRid::DirPacker::Ok,
              packer_test::Unpack(earlier, kept, packer_test::FixedBlocks(1 << 20)).close);
    EXPECT_THAT(RmanOn(L"KILL", "catalog start with '" + Narrow(kept) + "' noprompt;\n").output,
                HasSubstr("cataloging done"));
    const size_t keptFiles = CountEntries(kept) + 1;
    ASSERT_TRUE(simoracle::WriteFileBytes(kept + L"\\KEPT-FOR-MANUAL-RESTORE.txt", "kept") &&
                simoracle::WriteFileBytes(others[0] + L"\\x.bcp", "x") &&
                simoracle::WriteFileBytes(others[1], "a file"));
    PluginDataObject* running = library_.GetBackupDataWrite(&logger_, &settings_);
    uint32_t handle = 0;
    ASSERT_EQ(Success, running->Open(Item(L"KHELD"), 1, handle)) << Narrow(logger_.All());
    const std::vector<std::wstring> beside = simoracle::ListFolder(tempPath_, true);

    ASSERT_TRUE(oracle_.AddFault(simoracle::FaultKind::Hang, L"backup as*", {}, L"KILL"));
    // The host's messages go to a file, where the command that hangs shows when it was sent.
    const std::wstring hostLog = oracle_.Folder(L"streams") + L"\\host.log";
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    const VIRid::UniqueHandle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, 0, &inheritable,
                                              OPEN_EXISTING, 0, nullptr));
    const VIRid::UniqueHandle log(CreateFileW(hostLog.c_str(), GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                              CREATE_ALWAYS, 0, nullptr));
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = nul.get();
    startup.hStdError = log.get();
    // WSTempPath without its separator: it gets one.
    std::wstring commandLine = L"\"" + ProgramFolder() + L"pluginhost.exe\" --set \"WSTempPath=" +
                               tempPath_ + L"\" --set UserName=system --set \"Password=" +
                               kPassword + L"\" backup \"" + Item(L"KILL") + L"\" \"" +
                               oracle_.Folder(L"streams") + L"\\kill.stream\"";
    PROCESS_INFORMATION started = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                               nullptr, &startup, &started));
    const VIRid::UniqueHandle host(started.hProcess);
    const VIRid::UniqueHandle hostThread(started.hThread);
    std::string logged;
    for (int waited = 0; logged.find("backup as ") == std::string::npos && waited < 600; ++waited) {
        Sleep(100);
        simoracle::ReadFileBytes(hostLog, logged);
    }
    ASSERT_NE(std::string::npos, logged.find("backup as ")) << logged;
    Sleep(1000); // Recovery Manager has the command, and hangs in it
    ASSERT_EQ(1u, oracle_.RunningRman());
    ASSERT_TRUE(TerminateProcess(host.get(), 9));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(host.get(), 10000));
    for (int waited = 0; oracle_.RunningRman() != 0 && waited < 100; ++waited)
        Sleep(100);
    EXPECT_EQ(0u, oracle_.RunningRman()) << "Recovery Manager outlived its host";
    oracle_.EndRunningRman();
    ASSERT_TRUE(oracle_.ClearFaults(L"KILL"));
    std::vector<std::wstring> left = simoracle::ListFolder(tempPath_, true);
    ASSERT_EQ(beside.size() + 1, left.size());
    for (const std::wstring& name : beside)
        left.erase(std::find(left.begin(), left.end(), name));
    const std::wstring killed = tempPath_ + L"\\" + left[0];

    logger_.Clear();
    Bytes stream;
    EXPECT_EQ(Success, Backup(L"KILL", stream)) << Narrow(logger_.All());
    EXPECT_THAT(logger_.Texts(LogWarning),
                testing::UnorderedElementsAre(
                    L"Removed the folder '" + killed +
                        L"' that an earlier job left behind (it ended without being closed)",
                    AllOf(StartsWith(L"The folder '" + kept +
                                     L"' holds an unpacked backup kept for a "
                                     L"manual restore "),
                          testing::EndsWith(L" days ago; remove it when it is no longer needed"))));
    EXPECT_EQ(beside, simoracle::ListFolder(tempPath_, true));
    EXPECT_TRUE(simoracle::FileExists(others[1]) && simoracle::FileExists(others[0] + L"\\x.bcp"));
    EXPECT_EQ(keptFiles, CountEntries(kept));
    EXPECT_EQ(before, oracle_.Digest(L"KILL"));
    EXPECT_EQ(DatabaseState::Open, oracle_.State(L"KILL"));
    running->Release();
}

// Three full backups that release their logs, with a change of the data before each but the
// first: every stream carries the logs archived since the one before (the change's, and the two
// that the backup archives around its data files) and no other, says so, and the archive keeps
// none that a stream has taken.
TEST_F(JobsTest, FullBackupsThatReleaseTheirLogsEachCarryOnlyTheNewOnes) {
    CreateInstance(L"REL");
    settings_.values[L"DeleteArchivedLogs"] = L"yes";
    unsigned long long lastSequence = 0;
    for (int backup = 0; backup < 3; ++backup) {
        SCOPED_TRACE(backup);
        if (backup > 0) {
            simoracle::ChangePoint point;
            std::wstring error;
            ASSERT_TRUE(simoracle::Touch(oracle_.HomeDir(), L"REL", point, error)) << Narrow(error);
        }
        const size_t archived = ArchivedLogs(L"REL");
        logger_.Clear();
        Bytes stream;
        ASSERT_EQ(Success, Backup(L"REL", stream)) << Narrow(logger_.All());
        const StreamContents contents = Contents(stream);
        ASSERT_EQ(DescriptionFound::Yes, contents.found);
        const BackupDescription& description = contents.description;
        ASSERT_EQ(1u, description.threads.size());
        const ThreadLogs& logs = description.threads[0];
        EXPECT_EQ(backup == 0 ? 1 : lastSequence + 1, logs.firstSequence);
        EXPECT_EQ(archived + 2, logs.lastSequence - logs.firstSequence + 1);
        EXPECT_EQ(0u, ArchivedLogs(L"REL"));
        EXPECT_THAT(logger_.Texts(LogProgress),
                    Contains(L"Released " + std::to_wstring(archived + 2) +
                             L" archived logs that the stream holds"));
        EXPECT_EQ(BackupKind::Full, description.kind);
        EXPECT_EQ(ReportedDbid(logger_), description.dbid);
        // Online: the copies are consistent once the log archived after them is applied.
        EXPECT_EQ(logs.nextScn, description.datafileBackupEnd);
        EXPECT_EQ("BACKUP-DESCRIPTION.txt", contents.names[contents.names.size() - 2]);
        EXPECT_EQ(DatabaseState::Open, oracle_.State(L"REL"));
        lastSequence = logs.lastSequence;
    }
}

// An archived-log job streams the logs on disk, the current one archived first, with its
// description and manifest and nothing else, and never takes the database down. Its logs go
// only once the host holds the whole stream, as far as Oracle's deletion policy lets them: a
// stream read half-way, or a job that failed, releases nothing. A database in NOARCHIVELOG mode
// is refused at once and left open.
TEST_F(JobsTest, ArchivedLogJobsStreamTheLogsAloneAndReleaseThemOnlyOnceTheHostHoldsThem) {
    CreateInstance(L"ALOG");
    settings_.values[L"BackupType"] = L"archivelog";
    const std::wstring logsOnly = L" archivelog all tag '{tag}' format "
                                  L"'{folder}\\%h-%e-%d-%I-%T-%U.archlog';";
    const std::wstring compressed = L"backup as compressed backupset" + logsOnly;
    const std::wstring listing = L"list backup of archivelog all tag '{tag}';";
    const std::wstring release = L"delete noprompt archivelog sequence between {first} and {last} "
                                 L"thread 1 backed up 1 times to device type disk;";
    const auto sent = [](const Texts& middle) { return Joined({kOpening, middle, kTidying}); };
    using simoracle::FaultKind;
    const wchar_t kDelete[] = L"DeleteArchivedLogs";
    const struct {
        std::map<std::wstring, std::wstring> options;
        FaultKind fault;
        const wchar_t* faultCommand; // nullptr: no fault
        size_t stopAfter;
        Texts commands;
        bool released;
        const wchar_t* error;   // the only error's start, if any
        const wchar_t* warning; // the only warning, {first} and {last} filled in, if any
    } cases[] = {
        // Asked for offline backups, it still takes none.
        {{{L"OnlineBackup", L"0"}},
         FaultKind::Fail,
         nullptr,
         SIZE_MAX,
         sent({compressed, listing}),
         false,
         nullptr,
         nullptr},
        {{{kDelete, L"yes"}, {L"UseCompression", L"0"}},
         FaultKind::Fail,
         nullptr,
         SIZE_MAX,
         sent({L"backup as backupset" + logsOnly, listing, release}),
         true,
         nullptr,
         nullptr},
        {{{kDelete, L"yes"}},
         FaultKind::Fail,
         nullptr,
         2048,
         sent({compressed, listing}),
         false,
         L"The backup stream was not read to its end",
         nullptr},
        {{{kDelete, L"yes"}},
         FaultKind::NoPiece,
         L"backup*",
         SIZE_MAX,
         sent({compressed}),
         false,
         L"Backup archived logs failed: The backup holds no archived-log piece",
         nullptr},
        {{{kDelete, L"yes"}},
         FaultKind::RefuseDelete,
         L"delete noprompt archivelog*",
         SIZE_MAX,
         sent({compressed, listing, release}),
         false,
         nullptr,
         // The logs that the two rows before archived and kept, and the current one.
         L"Oracle kept archived logs of thread 1 (the stream holds sequences {first}-{last}) "
         L"on "
         L"disk: sequences 5, 6 and 7: RMAN-08138: warning: archived log not deleted - must "
         L"create more backups"},
    };
    const MapSettings defaults = settings_;
    for (const auto& entry : cases) {
        SCOPED_TRACE(&entry - cases);
        settings_ = defaults;
        settings_.values.insert(entry.options.begin(), entry.options.end());
        ASSERT_TRUE(oracle_.ClearFaults(L"ALOG"));
        if (entry.faultCommand) {
            ASSERT_TRUE(oracle_.AddFault(entry.fault, entry.faultCommand, {}, L"ALOG"));
        }
        const std::string before = oracle_.Digest(L"ALOG");
        const size_t archived = ArchivedLogs(L"ALOG");
        logger_.Clear();
        Bytes stream;
        EXPECT_EQ(entry.error ? Failure : Success, Backup(L"ALOG", stream, entry.stopAfter));
        std::map<std::wstring, std::wstring> sequences;
        if (entry.stopAfter == SIZE_MAX && !stream.empty()) {
            const StreamContents contents = Contents(stream);
            ASSERT_EQ(DescriptionFound::Yes, contents.found);
            const BackupDescription& description = contents.description;
            EXPECT_EQ(BackupKind::ArchivedLogs, description.kind);
            EXPECT_EQ(ReportedDbid(logger_), description.dbid);
            EXPECT_EQ(0u, description.datafileBackupEnd);
            ASSERT_EQ(1u, description.threads.size());
            const ThreadLogs& logs = description.threads[0];
            // Every log on disk, and the current one.
            EXPECT_EQ(archived + 1, logs.lastSequence - logs.firstSequence + 1);
            sequences = {{L"{first}", std::to_wstring(logs.firstSequence)},
                         {L"{last}", std::to_wstring(logs.lastSequence)}};
            EXPECT_THAT(contents.names,
                        testing::ElementsAre(testing::EndsWith(".archlog"),
                                             "BACKUP-DESCRIPTION.txt", "SHA256SUMS"));
        }
        EXPECT_EQ(FilledIn(entry.commands, sequences), CommandsSent());
        EXPECT_EQ(entry.released ? 0u : archived + 1, ArchivedLogs(L"ALOG"));
        if (entry.error)
            EXPECT_THAT(OnlyError(), StartsWith(entry.error));
        else
            EXPECT_EQ(Texts(), logger_.Texts(LogError));
        EXPECT_EQ(entry.warning ? FilledIn({entry.warning}, sequences) : Texts(),
                  logger_.Texts(LogWarning));
        ExpectUntouched(L"ALOG", before);
    }

    // Last: the job fails at its dump, and its folder stays.
    CreateInstance(L"ANOARC", false);
    const std::string before = oracle_.Digest(L"ANOARC");
    settings_ = defaults;
    logger_.Clear();
    Bytes stream;
    EXPECT_EQ(Failure, Backup(L"ANOARC", stream));
    EXPECT_THAT(OnlyError(),
                AllOf(StartsWith(L"The database is in NOARCHIVELOG mode: it has no archived logs "
                                 L"to back up; take full backups instead: RMAN-03002: "),
                      HasSubstr(L"; ORA-00258: manual archiving in NOARCHIVELOG mode must "
                                L"identify log")));
    EXPECT_EQ(FilledIn(Joined({kOpening, {compressed}}), {}), CommandsSent());
    EXPECT_EQ(DatabaseState::Open, oracle_.State(L"ANOARC"));
    EXPECT_EQ(before, oracle_.Digest(L"ANOARC"));
}

} // namespace

namespace {

// A point that simoracle touch made, and the digest that the database had there.
struct TouchedPoint {
    unsigned long long scn = 0;
    std::wstring time;
    std::string digest;
};

TouchedPoint Touch(const SimulatedOracle& oracle, const std::wstring& sid) {
    simoracle::ChangePoint point;
    std::wstring error;
    EXPECT_TRUE(simoracle::Touch(oracle.HomeDir(), sid, point, error)) << Narrow(error);
    return {point.scn, point.time, oracle.Digest(sid)};
}

} // namespace

// A full stream and two archived-log streams, each releasing its logs, restored onto the lost
// instance: to their end, or to a point (the limit is exclusive: until SCN n + 1 gives the
// database at SCN n); a missing middle stream stops with the gap named and the database
// mounted, and the right stream completes the chain; a point before the full stream's earliest
// point is refused before anything runs, one past the chain's end leaves the database mounted as
// far as the logs go. An archived-log stream onto the open database is refused, untouched; the
// full stream onto the database that a chain opened with RESETLOGS restores with its own
// control file.
TEST_F(JobsTest, AChainRestoresToItsEndOrToAPointAndSaysWhereItCannotGoOn) {
    CreateInstance(L"CHN");
    const MapSettings defaults = settings_;
    settings_.values[L"DeleteArchivedLogs"] = L"yes";
    Bytes full, first, second;
    ASSERT_EQ(Success, Backup(L"CHN", full)) << Narrow(logger_.All());
    const TouchedPoint a = Touch(oracle_, L"CHN");
    settings_.values[L"BackupType"] = L"archivelog";
    ASSERT_EQ(Success, Backup(L"CHN", first)) << Narrow(logger_.All());
    const TouchedPoint b = Touch(oracle_, L"CHN");
    ASSERT_EQ(Success, Backup(L"CHN", second)) << Narrow(logger_.All());
    settings_ = defaults;
    ASSERT_NE(a.digest, b.digest);
    ASSERT_LT(a.time, b.time) << "a backup lies between the two changes";
    const BackupDescription fullDescription = Contents(full).description;
    const unsigned long long earliest = fullDescription.datafileBackupEnd;
    const unsigned long long secondFirst = Contents(second).description.threads.at(0).firstSequence;
    ASSERT_NE(0u, earliest);

    logger_.Clear();
    EXPECT_EQ(Failure, Restore(L"CHN", first));
    EXPECT_THAT(OnlyError(), AllOf(StartsWith(L"The stream holds archived logs only"),
                                   HasSubstr(L"the target database is open")));
    EXPECT_EQ(Texts(), CommandsSent());
    ExpectUntouched(L"CHN", b.digest);

    // Both points at once: refused at Open, before any folder or process.
    settings_.values[L"RecoverUntilScn"] = std::to_wstring(a.scn + 1);
    settings_.values[L"RecoverUntilTime"] = b.time;
    logger_.Clear();
    EXPECT_EQ(Failure, Restore(L"CHN", full));
    EXPECT_EQ(L"Can't start the restore: RecoverUntilScn and RecoverUntilTime are both set; set "
              L"one point only",
              OnlyError());
    EXPECT_EQ(Texts(), logger_.Texts(LogDetail));
    settings_ = defaults;
    ExpectUntouched(L"CHN", b.digest);

    const std::wstring beforeEarliest = std::to_wstring(earliest - 1);
    const std::wstring pastTheEnd = std::to_wstring(b.scn + 1);
    using Options = std::map<std::wstring, std::wstring>;
    const Options mounted = {{L"OpenAfterRestore", L"no"}};
    struct Step {
        const Bytes* stream;
        Options options;
        std::wstring error; // the start of the error; empty: the step succeeds
        DatabaseState after;
    };
    // The whole chain restored to the point, the last stream opening the database.
    const auto toPoint = [&](const wchar_t* key, const std::wstring& value) {
        const Options kept = {{L"OpenAfterRestore", L"no"}, {key, value}};
        return std::vector<Step>{{&full, kept, L"", DatabaseState::Mounted},
                                 {&first, kept, L"", DatabaseState::Mounted},
                                 {&second, {{key, value}}, L"", DatabaseState::Open}};
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
        const std::string* digest; // at the end; null: not looked at
    } cases[] = {
        {"to its end",
         {{&full, mounted, L"", DatabaseState::Mounted},
          {&first, mounted, L"", DatabaseState::Mounted},
          {&second, {}, L"", DatabaseState::Open}},
         &b.digest},
        // The later stream gets the point too: the recovery stays where it is.
        {"until the SCN just after A", toPoint(L"RecoverUntilScn", std::to_wstring(a.scn + 1)),
         &a.digest},
        // B's change lies at that SCN, inside its log: the redo of the log below it only.
        {"until the SCN of B's change", toPoint(L"RecoverUntilScn", std::to_wstring(b.scn)),
         &a.digest},
        {"until the time of B", toPoint(L"RecoverUntilTime", b.time), &a.digest},
        {"with its middle stream missing",
         {{&full, mounted, L"", DatabaseState::Mounted},
          {&second, mounted,
           L"Recovery needs archived log sequence " + std::to_wstring(secondFirst - 2) +
               L" of thread 1 next, but this stream's logs of that thread begin at sequence " +
               std::to_wstring(secondFirst) + L": restore the stream that holds sequence " +
               std::to_wstring(secondFirst - 2) + L" first",
           DatabaseState::Mounted},
          {&first, mounted, L"", DatabaseState::Mounted},
          {&second, {}, L"", DatabaseState::Open}},
         &b.digest},
        {"before the end of the full backup",
         {{&full,
           {{L"RecoverUntilScn", beforeEarliest}},
           L"The point SCN " + beforeEarliest +
               L" lies before the earliest point that this stream allows, SCN " +
               std::to_wstring(earliest),
           DatabaseState::Down}},
         nullptr},
        {"past the end of the chain",
         {{&full, mounted, L"", DatabaseState::Mounted},
          {&first,
           {{L"RecoverUntilScn", pastTheEnd}},
           L"The point SCN " + pastTheEnd +
               L" lies past the last point that the restored streams cover (SCN ",
           DatabaseState::Mounted},
          {&first, {}, L"", DatabaseState::Open}},
         &a.digest},
    };
    for (const auto& chain : cases) {
        SCOPED_TRACE(chain.name);
        ASSERT_TRUE(oracle_.Wreck(WreckScope::All, L"CHN"));
        for (const Step& step : chain.steps) {
            SCOPED_TRACE(&step - chain.steps.data());
            settings_ = defaults;
            settings_.values.insert(step.options.begin(), step.options.end());
            logger_.Clear();
            if (step.error.empty()) {
                EXPECT_EQ(Success, Restore(L"CHN", *step.stream)) << Narrow(logger_.All());
                EXPECT_EQ(Texts(), logger_.Texts(LogError));
            } else {
                EXPECT_EQ(Failure, Restore(L"CHN", *step.stream));
                EXPECT_THAT(OnlyError(), StartsWith(step.error));
            }
            EXPECT_EQ(step.after, oracle_.State(L"CHN"));
        }
        if (chain.digest != nullptr) {
            EXPECT_EQ(*chain.digest, oracle_.Digest(L"CHN"));
        }
        EXPECT_EQ(0u, CountEntries(tempPath_));
    }

    // The database runs in the incarnation that the last open with RESETLOGS began; the full
    // stream is older, and restores with its own control file (the logs on disk take it on).
    settings_ = defaults;
    logger_.Clear();
    EXPECT_EQ(Success, Restore(L"CHN", full)) << Narrow(logger_.All());
    EXPECT_THAT(CommandsSent(),
                AllOf(Contains(L"list incarnation;"),
                      Contains(StartsWith(L"restore controlfile from '" + tempPath_))));
    ExpectUntouched(L"CHN", a.digest);
}
