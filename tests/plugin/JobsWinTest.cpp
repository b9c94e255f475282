// Backup and restore jobs end to end: the real library, the Recovery Manager simulator and a
// simulated database, as a backup host drives them.
#include "rman/RmanCommands.h"
#include "tests/support/FakeHost.h"
#include "tests/support/win/TestFolder.h"
#include "tools/pluginhost/PluginLibrary.h"
#include "tools/simdb/SimOracle.h"

#include "virid/Win32Handles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using testing_support::TestFolder;
using Bytes = std::vector<unsigned char>;

const wchar_t kHomeName[] = L"JobsTestHome";
const wchar_t kPassword[] = L"Pw#JobsTest-7731";
const wchar_t kQuoteHomeName[] = L"JobsQuoteHome";
const wchar_t kTempFolderError[] = L"Can't create temp folder. Please, check workstation setting";

bool Contains(const std::vector<std::wstring>& texts, const std::wstring& wanted) {
    return std::find(texts.begin(), texts.end(), wanted) != texts.end();
}

size_t CountEntries(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    const VIRid::UniqueFindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!search)
        return 0;
    size_t count = 0;
    do {
        if (std::wcscmp(entry.cFileName, L".") != 0 && std::wcscmp(entry.cFileName, L"..") != 0)
            ++count;
    } while (FindNextFileW(search.get(), &entry));
    return count;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}
bool Holds(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

// One ustar entry (header and padded data) of a regular file, as a hostile host might send.
Bytes UstarEntry(const std::string& name, const std::string& content) {
    Bytes header(512, 0);
    std::memcpy(&header[0], name.data(), std::min<size_t>(name.size(), 100));
    std::memcpy(&header[100], "0000644", 7);
    std::memcpy(&header[108], "0000000", 7);
    std::memcpy(&header[116], "0000000", 7);
    std::snprintf(reinterpret_cast<char*>(&header[124]), 12, "%011o",
                  static_cast<unsigned>(content.size()));
    std::memcpy(&header[136], "00000000000", 11);
    header[156] = '0';
    std::memcpy(&header[257], "ustar", 6);
    std::memcpy(&header[263], "00", 2);
    std::memset(&header[148], ' ', 8);
    unsigned sum = 0;
    for (unsigned char byte : header)
        sum += byte;
    std::snprintf(reinterpret_cast<char*>(&header[148]), 8, "%06o", sum);
    header[155] = ' ';
    header.insert(header.end(), content.begin(), content.end());
    header.resize((header.size() + 511) / 512 * 512, 0);
    return header;
}
Bytes operator+(Bytes left, const Bytes& right) {
    left.insert(left.end(), right.begin(), right.end());
    return left;
}
const Bytes kEndOfArchive(1024, 0);

// The entries of a stream (pax extended headers included) with their headers' offsets.
std::vector<std::pair<std::string, size_t>> Entries(const Bytes& stream) {
    std::vector<std::pair<std::string, size_t>> entries;
    for (size_t at = 0; at + 512 <= stream.size() && stream[at] != 0;) {
        const char* header = reinterpret_cast<const char*>(&stream[at]);
        entries.emplace_back(std::string(header, std::find(header, header + 100, '\0')), at);
        at += 512 +
              (std::strtoull(std::string(header + 124, 12).c_str(), nullptr, 8) + 511) / 512 * 512;
    }
    return entries;
}
// The first entry whose name holds part; empty when there is none.
std::string EntryNamed(const Bytes& stream, const std::string& part) {
    for (const auto& entry : Entries(stream))
        if (entry.first.find(part) != std::string::npos)
            return entry.first;
    return std::string();
}

// The DBID that Recovery Manager's connect reported in a logged dialogue; empty when none.
std::wstring ReportedDbid(const RecordingLogger& logger) {
    const std::wstring all = logger.All();
    const size_t at = all.find(L"(DBID=");
    if (at == std::wstring::npos)
        return std::wstring();
    return all.substr(at + 6, all.find_first_not_of(L"0123456789", at + 6) - at - 6);
}

class JobsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::wstring error;
        ASSERT_TRUE(library_.Load(ProgramFolder() + L"OraclePlugin.dll", error));
        simoracle::RemoveHome(kHomeName, error);
        homeDir_ = root_ / L"home";
        tempPath_ = root_ / L"temp";
        ASSERT_TRUE(CreateDirectoryW(tempPath_.c_str(), nullptr));
        ASSERT_TRUE(simoracle::CreateHome(kHomeName, homeDir_, error)) << Narrow(error);
        settings_.values = {
            {L"WSTempPath", tempPath_ + L"\\"}, {L"UserName", L"system"}, {L"Password", kPassword}};
    }
    void TearDown() override {
        std::wstring error;
        simoracle::RemoveHome(kHomeName, error);
        simoracle::RemoveHome(kQuoteHomeName, error);
        // The password never reaches the host, at any level.
        EXPECT_EQ(std::wstring::npos, logger_.All().find(kPassword));
    }

    static std::string Narrow(const std::wstring& text) {
        return std::string(text.begin(), text.end());
    }

    void CreateInstance(const std::wstring& sid, bool archiveLog = true) {
        simoracle::InstanceOptions options;
        options.password = kPassword;
        options.archiveLog = archiveLog;
        options.sizeMb = 2;
        std::wstring error;
        ASSERT_TRUE(simoracle::CreateInstance(kHomeName, sid, options, error)) << Narrow(error);
    }
    std::string Digest(const std::wstring& sid) {
        std::wstring error;
        return simoracle::Digest(homeDir_, sid, error);
    }
    simoracle::DatabaseState State(const std::wstring& sid) {
        return simoracle::GetState(homeDir_, sid);
    }
    std::wstring Item(const std::wstring& sid) const {
        return std::wstring(kHomeName) + L"\\" + sid;
    }
    void Wreck(const std::wstring& sid, simoracle::WreckScope scope) {
        std::wstring error;
        ASSERT_TRUE(simoracle::Wreck(homeDir_, sid, scope, error)) << Narrow(error);
    }
    // The commands sent to Recovery Manager, in order (Recovery Manager's own lines never end
    // with a semicolon).
    std::vector<std::wstring> CommandsSent() const {
        std::vector<std::wstring> commands;
        for (const std::wstring& line : logger_.Texts(LogDetail))
            if (!line.empty() && line.back() == L';')
                commands.push_back(line);
        return commands;
    }

    // A whole backup job: Open, Read until the end, Close. Returns Close's result (or the first
    // failure) and the stream.
    int32_t Backup(const std::wstring& sid, Bytes& stream) {
        return Backup(sid, stream, logger_, settings_);
    }
    int32_t Backup(const std::wstring& sid, Bytes& stream, RecordingLogger& logger,
                   MapSettings settings) {
        PluginDataObject* source = library_.GetBackupDataRead(&logger, &settings);
        uint32_t handle = 0;
        int32_t result = source->Open(Item(sid), 0, handle);
        if (result == Success) {
            result = ReadAll(source, handle, stream);
            const int32_t closed = source->Close(handle);
            if (result == Success)
                result = closed;
        }
        source->Release();
        return result;
    }
    static int32_t ReadAll(PluginDataObject* source, uint32_t handle, Bytes& stream) {
        Bytes buffer(256 * 1024);
        for (;;) {
            uint32_t size = static_cast<uint32_t>(buffer.size());
            const int32_t result = source->Read(buffer.data(), size, handle);
            if (result == EndOfData)
                return Success;
            if (result != Success)
                return result;
            stream.insert(stream.end(), buffer.begin(), buffer.begin() + size);
        }
    }
    // A whole restore job, the stream written in blocks of blockSize bytes.
    int32_t Restore(const std::wstring& sid, const Bytes& stream, size_t blockSize = 100000) {
        PluginDataObject* sink = library_.GetBackupDataWrite(&logger_, &settings_);
        uint32_t handle = 0;
        int32_t result = sink->Open(Item(sid), 1, handle);
        if (result == Success) {
            for (size_t offset = 0; offset < stream.size() && result == Success;
                 offset += blockSize) {
                uint32_t size = static_cast<uint32_t>(std::min(blockSize, stream.size() - offset));
                result = sink->Write(stream.data() + offset, size, handle);
            }
            const int32_t closed = sink->Close(handle);
            if (result == Success)
                result = closed;
        }
        sink->Release();
        return result;
    }
    // Wrecks the database to the scope, restores the stream and expects the digest before.
    void ExpectRestored(const std::wstring& sid, const Bytes& stream, const std::string& before,
                        simoracle::WreckScope scope = simoracle::WreckScope::DataFiles) {
        Wreck(sid, scope);
        EXPECT_NE(before, Digest(sid));
        logger_.Clear();
        ASSERT_EQ(Success, Restore(sid, stream)) << Narrow(logger_.All());
        EXPECT_TRUE(Contains(logger_.Texts(LogProgress), L"Restore database..."));
        EXPECT_EQ(before, Digest(sid));
        EXPECT_EQ(simoracle::DatabaseState::Open, State(sid));
        EXPECT_EQ(0u, CountEntries(tempPath_)) << "the restore's folder stays";
    }

    void ExpectRoundTrip(const std::wstring& sid, bool controlFileLost) {
        const std::string before = Digest(sid);
        ASSERT_FALSE(before.empty());
        Bytes stream;
        ASSERT_EQ(Success, Backup(sid, stream)) << Narrow(logger_.All());
        ASSERT_FALSE(stream.empty());
        EXPECT_EQ(simoracle::DatabaseState::Open, State(sid));
        EXPECT_EQ(0u, CountEntries(tempPath_)) << "the backup's folder stays";
        ExpectRestored(sid, stream, before,
                       controlFileLost ? simoracle::WreckScope::ControlFileToo
                                       : simoracle::WreckScope::DataFiles);
    }

    TestFolder root_;
    std::wstring homeDir_;
    std::wstring tempPath_;
    PluginLibrary library_;
    MapSettings settings_;
    RecordingLogger logger_;
};

TEST_F(JobsTest, OnlineBackupRestoresAWreckedDatabase) {
    CreateInstance(L"ONL");
    ExpectRoundTrip(L"ONL", false);
}

TEST_F(JobsTest, OfflineBackupReopensTheDatabaseAndRestoresWithoutItsControlFile) {
    CreateInstance(L"OFF");
    settings_.values[L"OnlineBackup"] = L"0";
    ExpectRoundTrip(L"OFF", true);
    EXPECT_TRUE(Contains(logger_.Texts(LogDetail), L"restore database from tag 'ZT_BACKUP_TAG';"));
}

TEST_F(JobsTest, NoArchiveLogDatabaseFallsBackToAnOfflineBackup) {
    CreateInstance(L"NOARC", false);
    const std::string before = Digest(L"NOARC");
    Bytes stream;
    ASSERT_EQ(Success, Backup(L"NOARC", stream)) << Narrow(logger_.All());
    const std::vector<std::wstring> lines = logger_.Texts(LogDetail);
    EXPECT_TRUE(Contains(lines, L"shutdown immediate;"));
    EXPECT_TRUE(Contains(lines, L"alter database open;"));
    EXPECT_EQ(simoracle::DatabaseState::Open, State(L"NOARC"));
    ExpectRestored(L"NOARC", stream, before);
}

// An online backup that fails for another reason than NOARCHIVELOG never takes the database
// down; an offline backup whose reopen fails streams all the same and fails Close.
TEST_F(JobsTest, BackupFailuresKeepTheirReasonAndTheDatabaseAsItWas) {
    CreateInstance(L"BFAIL");
    const std::string before = Digest(L"BFAIL");
    const struct {
        const wchar_t* online;
        const wchar_t* command;
        const wchar_t* reason;
        const wchar_t* sentence;
        simoracle::DatabaseState after;
    } cases[] = {
        {L"1", L"backup as*", L"ORA-19502: write error on file \"X.BCP\"",
         L"Backup database failed: ", simoracle::DatabaseState::Open},
        {L"0", L"alter database open", L"ORA-01113: file 1 needs media recovery",
         L"The database could not be opened again after the offline backup (Alter database "
         L"open failed: ",
         simoracle::DatabaseState::Mounted},
    };
    for (const auto& entry : cases) {
        std::wstring error;
        ASSERT_TRUE(simoracle::ClearFaults(homeDir_, L"BFAIL", error));
        ASSERT_TRUE(simoracle::AddFault(homeDir_, L"BFAIL", simoracle::FaultKind::Fail,
                                        entry.command, error, {entry.reason}));
        settings_.values[L"OnlineBackup"] = entry.online;
        logger_.Clear();
        Bytes stream;
        EXPECT_EQ(Failure, Backup(L"BFAIL", stream)) << Narrow(entry.command);
        const std::vector<std::wstring> errors = logger_.Texts(LogError);
        ASSERT_EQ(1u, errors.size()) << Narrow(logger_.All());
        EXPECT_TRUE(StartsWith(errors[0], entry.sentence)) << Narrow(errors[0]);
        EXPECT_TRUE(Holds(errors[0], entry.reason)) << Narrow(errors[0]);
        const bool offline = entry.online == std::wstring(L"0");
        EXPECT_EQ(offline, Holds(errors[0], L"; the backup stream itself is complete"));
        EXPECT_EQ(offline, !stream.empty()) << "streamed only when the dump succeeded";
        EXPECT_EQ(offline, Contains(CommandsSent(), L"shutdown immediate;"));
        EXPECT_EQ(entry.after, State(L"BFAIL"));
        EXPECT_EQ(before, Digest(L"BFAIL"));
    }
}

TEST_F(JobsTest, DamagedStreamsFailWithoutTouchingTheDatabase) {
    CreateInstance(L"DMG");
    Bytes stream;
    ASSERT_EQ(Success, Backup(L"DMG", stream));
    const std::string before = Digest(L"DMG");

    Bytes flipped = stream;
    flipped[flipped.size() / 2] ^= 0x01;
    const Bytes cut(stream.begin(), stream.begin() + stream.size() / 3);
    ASSERT_EQ("SHA256SUMS", Entries(stream).back().first);
    const Bytes withoutManifest(stream.begin(), stream.begin() + Entries(stream).back().second);
    const std::string evilSum =
        "b5c1fb2efc6d6b4674c2fdcc48ce01b43a3b7c03763c0c3355de0099ee0f8c73  PWDDMG.ora\n";
    const struct {
        const char* name;
        Bytes stream;
        const wchar_t* reason;
    } damaged[] = {
        {"one byte flipped", flipped, L"the digest does not match the manifest"},
        {"cut short", cut, L"it ends inside the data of"},
        {"hostile path", UstarEntry("../escaped.bcp", "evil") + kEndOfArchive, L"unsafe name"},
        {"absolute path", UstarEntry("C:/Windows/escaped.bcp", "evil") + kEndOfArchive,
         L"unsafe name"},
        {"cut just before its manifest", withoutManifest + kEndOfArchive,
         L"ends without its manifest"},
        {"empty manifest", withoutManifest + UstarEntry("SHA256SUMS", "") + kEndOfArchive,
         L"the manifest lists no file"},
        {"only the end-of-archive marker", kEndOfArchive, L"ends without its manifest"},
        {"no database piece",
         UstarEntry("PWDDMG.ora", "evil") + UstarEntry("SHA256SUMS", evilSum) + kEndOfArchive,
         L"no database piece"},
    };
    for (const auto& entry : damaged) {
        logger_.Clear();
        EXPECT_EQ(Failure, Restore(L"DMG", entry.stream, 4096)) << entry.name;
        ASSERT_EQ(1u, logger_.Texts(LogError).size()) << entry.name;
        EXPECT_TRUE(Holds(logger_.Texts(LogError)[0], entry.reason)) << Narrow(logger_.All());
        EXPECT_FALSE(Contains(logger_.Texts(LogProgress), L"Restore database...")) << entry.name;
        EXPECT_TRUE(logger_.Texts(LogDetail).empty()) << entry.name << ": Recovery Manager ran";
        EXPECT_EQ(before, Digest(L"DMG")) << entry.name;
        EXPECT_EQ(simoracle::DatabaseState::Open, State(L"DMG")) << entry.name;
        EXPECT_EQ(0u, CountEntries(tempPath_)) << entry.name;
    }
    EXPECT_FALSE(testing_support::PathExists(root_ / L"escaped.bcp"));
}

TEST_F(JobsTest, AnotherDatabasesStreamLeavesTheTargetOpenAndUntouched) {
    CreateInstance(L"SRC");
    CreateInstance(L"DST");
    Bytes stream;
    ASSERT_EQ(Success, Backup(L"SRC", stream));
    const std::wstring sourceDbid = ReportedDbid(logger_);
    const std::string before = Digest(L"DST");
    logger_.Clear();
    EXPECT_EQ(Failure, Restore(L"DST", stream));
    const std::wstring targetDbid = ReportedDbid(logger_);
    ASSERT_FALSE(sourceDbid.empty());
    ASSERT_NE(sourceDbid, targetDbid);
    const std::vector<std::wstring> errors = logger_.Texts(LogError);
    ASSERT_EQ(1u, errors.size());
    EXPECT_TRUE(Holds(errors[0], L"DBID " + sourceDbid) && Holds(errors[0], L"DBID " + targetDbid))
        << Narrow(errors[0]);
    EXPECT_TRUE(CommandsSent().empty()) << Narrow(logger_.All());
    EXPECT_EQ(simoracle::DatabaseState::Open, State(L"DST"));
    EXPECT_EQ(before, Digest(L"DST"));
}

// The restore onto a bare instance: the parameter file and the control file come from the
// stream, with the DBID that the pieces' names carry.
TEST_F(JobsTest, TotalLossIsRestoredFromTheStreamAlone) {
    CreateInstance(L"TOTAL");
    const std::string before = Digest(L"TOTAL");
    Bytes stream;
    ASSERT_EQ(Success, Backup(L"TOTAL", stream));
    const std::wstring dbid = ReportedDbid(logger_);
    ExpectRestored(L"TOTAL", stream, before, simoracle::WreckScope::All);

    OracleSettings expected;
    for (const std::wstring& line : CommandsSent())
        if (StartsWith(line, L"CATALOG START WITH '"))
            expected.tempFolder = line.substr(20, line.find(L'\'', 20) - 20);
    expected.dbid = dbid;
    const std::string spFile = EntryNamed(stream, ".spfile");
    const std::string controlFile = EntryNamed(stream, ".controlfile");
    ASSERT_FALSE(spFile.empty() || controlFile.empty());
    using C = RmanCommand;
    const C sequence[] = {C::ShutdownImmediate,   C::StartupMount,         C::SetDbid,
                          C::StartupForceNomount, C::RestoreSpFile,        C::ShutdownImmediate,
                          C::StartupForceNomount, C::RestoreControlFile,   C::ShutdownImmediate,
                          C::StartupMount,        C::CrosscheckBackups,    C::DeleteTaggedBackups,
                          C::CatalogTempFolder,   C::RestoreDatabaseByTag, C::RestoreArchiveLogs,
                          C::RecoverDatabase,     C::RecoverUntilFirstLog, C::OpenDatabaseResetLogs,
                          C::CrosscheckBackups,   C::DeleteTaggedBackups};
    std::vector<std::wstring> texts;
    for (const C command : sequence) {
        const std::string piece = command == C::RestoreSpFile        ? spFile
                                  : command == C::RestoreControlFile ? controlFile
                                                                     : std::string();
        const std::wstring text =
            RmanCommandText(command, expected, std::wstring(piece.begin(), piece.end()));
        texts.push_back(text.substr(0, text.size() - 1));
    }
    EXPECT_EQ(texts, CommandsSent());
}

// Without a parameter file piece nothing could start the instance: it is left as it was.
TEST_F(JobsTest, TotalLossWithoutAParameterFilePieceLeavesTheInstanceAsItWas) {
    CreateInstance(L"NOSPF");
    settings_.values[L"BackupSPFile"] = L"no";
    Bytes stream;
    ASSERT_EQ(Success, Backup(L"NOSPF", stream));
    EXPECT_EQ("", EntryNamed(stream, ".spfile"));
    settings_.values.erase(L"BackupSPFile");
    Wreck(L"NOSPF", simoracle::WreckScope::All);
    const std::wstring homeFiles[] = {homeDir_ + L"\\database", homeDir_ + L"\\oradata\\NOSPF"};
    const size_t filesLeft = CountEntries(homeFiles[0]) + CountEntries(homeFiles[1]);
    logger_.Clear();
    EXPECT_EQ(Failure, Restore(L"NOSPF", stream));
    const std::vector<std::wstring> errors = logger_.Texts(LogError);
    ASSERT_EQ(1u, errors.size());
    EXPECT_TRUE(StartsWith(errors[0], L"Can't mount database for restoring data (the instance has "
                                      L"no parameter file and the backup holds none to restore)"))
        << Narrow(errors[0]);
    // The stand-in instance that the failed mount started is shut down again.
    EXPECT_EQ((std::vector<std::wstring>{L"shutdown immediate;", L"startup mount;",
                                         L"shutdown immediate;"}),
              CommandsSent());
    EXPECT_EQ(simoracle::DatabaseState::Down, State(L"NOSPF"));
    EXPECT_EQ(filesLeft, CountEntries(homeFiles[0]) + CountEntries(homeFiles[1]));
}

// A restore that fails in Recovery Manager keeps its job and folder, with the pieces, so that
// closing again once the cause is gone restores on a fresh console.
TEST_F(JobsTest, ARestoreThatFailsInRecoveryManagerKeepsTheJobForAnotherClose) {
    CreateInstance(L"RETRY");
    const std::string before = Digest(L"RETRY");
    Bytes stream;
    ASSERT_EQ(Success, Backup(L"RETRY", stream));
    const std::pair<const wchar_t*, const wchar_t*> faults[] = {
        {L"catalog start with*", L"Can't add base to catalog: "},
        {L"restore database*", L"Can't restore database: "},
        {L"alter database open", L"Can't open resetlogs: "},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(Narrow(fault.first));
        Wreck(L"RETRY", simoracle::WreckScope::DataFiles);
        std::wstring error;
        ASSERT_TRUE(simoracle::AddFault(homeDir_, L"RETRY", simoracle::FaultKind::Fail, fault.first,
                                        error));
        logger_.Clear();
        PluginDataObject* sink = library_.GetBackupDataWrite(&logger_, &settings_);
        uint32_t handle = 0;
        ASSERT_EQ(Success, sink->Open(Item(L"RETRY"), 1, handle));
        uint32_t size = static_cast<uint32_t>(stream.size());
        ASSERT_EQ(Success, sink->Write(stream.data(), size, handle));
        EXPECT_EQ(Failure, sink->Close(handle));
        const std::vector<std::wstring> errors = logger_.Texts(LogError);
        ASSERT_EQ(1u, errors.size());
        EXPECT_TRUE(StartsWith(errors[0], fault.second)) << Narrow(errors[0]);
        EXPECT_TRUE(Holds(errors[0], L"ORA-")) << Narrow(errors[0]);
        EXPECT_EQ(simoracle::DatabaseState::Mounted, State(L"RETRY"));
        EXPECT_EQ(1u, CountEntries(tempPath_));
        ASSERT_EQ(1u, logger_.Texts(LogWarning).size());
        EXPECT_TRUE(StartsWith(logger_.Texts(LogWarning)[0],
                               L"The unpacked backup stays in '" + tempPath_ + L"\\"));
        ASSERT_TRUE(simoracle::ClearFaults(homeDir_, L"RETRY", error));
        EXPECT_EQ(Success, sink->Close(handle)) << Narrow(logger_.All());
        sink->Release();
        EXPECT_EQ(before, Digest(L"RETRY"));
        EXPECT_EQ(simoracle::DatabaseState::Open, State(L"RETRY"));
        EXPECT_EQ(0u, CountEntries(tempPath_));
    }
}

TEST_F(JobsTest, TwoBackupJobsOpenAtOnceBothComplete) {
    CreateInstance(L"ONE");
    CreateInstance(L"TWO");
    PluginDataObject* source = library_.GetBackupDataRead(&logger_, &settings_);
    uint32_t first = 0, second = 0;
    ASSERT_EQ(Success, source->Open(Item(L"ONE"), 0, first));
    ASSERT_EQ(Success, source->Open(Item(L"TWO"), 0, second));
    EXPECT_EQ(1u, first);
    EXPECT_EQ(2u, second);
    Bytes firstStream, secondStream;
    EXPECT_EQ(Success, ReadAll(source, first, firstStream));
    EXPECT_EQ(Success, ReadAll(source, second, secondStream));
    // Closing the first job talks to its console while the second one's still runs.
    EXPECT_EQ(Success, source->Close(first));
    EXPECT_EQ(Success, source->Close(second));
    source->Release();
    EXPECT_FALSE(firstStream.empty());
    EXPECT_FALSE(secondStream.empty());
    EXPECT_EQ(0u, CountEntries(tempPath_));
}

// Two plug-in objects on two threads: one job per instance at a time, and each job backs up its
// own instance (Recovery Manager's environment is the job's, never the process's).
TEST_F(JobsTest, BackupsFromTwoThreadsOfOneInstanceOrOfTwo) {
    CreateInstance(L"ONE");
    CreateInstance(L"TWO");
    const std::pair<const wchar_t*, const wchar_t*> pairs[] = {{L"ONE", L"ONE"}, {L"ONE", L"TWO"}};
    for (const auto& pair : pairs) {
        const std::wstring sids[2] = {pair.first, pair.second};
        const std::string before[2] = {Digest(sids[0]), Digest(sids[1])};
        RecordingLogger loggers[2];
        Bytes streams[2];
        int32_t results[2] = {};
        std::thread second(
            [&] { results[1] = Backup(sids[1], streams[1], loggers[1], settings_); });
        results[0] = Backup(sids[0], streams[0], loggers[0], settings_);
        second.join();
        const bool same = sids[0] == sids[1];
        EXPECT_EQ(same ? 1 : 2, (results[0] == Success) + (results[1] == Success));
        for (int i = 0; i < 2; ++i) {
            if (results[i] != Success) {
                // Refused at once: Recovery Manager never started for it.
                EXPECT_EQ(std::vector<std::wstring>{L"Can't start the job: another backup or "
                                                    L"restore job of instance 'ONE' is running; "
                                                    L"try again when it has finished"},
                          loggers[i].Texts(LogError));
                EXPECT_TRUE(loggers[i].Texts(LogDetail).empty());
                continue;
            }
            EXPECT_TRUE(loggers[i].Texts(LogError).empty()) << Narrow(loggers[i].All());
            ExpectRestored(sids[i], streams[i], before[i]);
        }
    }
}

TEST_F(JobsTest, AnOfflineBackupStoppedEarlyStillReopensTheDatabase) {
    CreateInstance(L"EARLY");
    settings_.values[L"OnlineBackup"] = L"0";
    PluginDataObject* source = library_.GetBackupDataRead(&logger_, &settings_);
    uint32_t handle = 0;
    ASSERT_EQ(Success, source->Open(Item(L"EARLY"), 0, handle));
    unsigned char block[1024];
    uint32_t size = sizeof block;
    ASSERT_EQ(Success, source->Read(block, size, handle));
    EXPECT_EQ(Failure, source->Close(handle));
    source->Release();
    EXPECT_FALSE(logger_.Texts(LogError).empty());
    EXPECT_EQ(simoracle::DatabaseState::Open, State(L"EARLY"));
    EXPECT_EQ(0u, CountEntries(tempPath_));
}

TEST_F(JobsTest, BadItemPathsAreUnknownWithoutAMessage) {
    CreateInstance(L"ITEM");
    PluginDataObject* source = library_.GetBackupDataRead(&logger_, &settings_);
    for (const std::wstring& path :
         {std::wstring(kHomeName), std::wstring(L"NoSuchHome\\ITEM"), std::wstring(L""),
          std::wstring(L"jobstesthome\\ITEM"), std::wstring(kHomeName) + L"\\IT'EM"}) {
        uint32_t handle = 77;
        EXPECT_EQ(UnknownItem, source->Open(path, 0, handle)) << Narrow(path);
        EXPECT_EQ(0u, handle);
    }
    source->Release();
    EXPECT_TRUE(logger_.Messages().empty());
    EXPECT_EQ(0u, CountEntries(tempPath_));
}

// Every form of the temp path makes job folders that are deleted again.
TEST_F(JobsTest, TempPathFormsCreateAndDeleteTheJobFolder) {
    CreateInstance(L"FORMS");
    std::wstring slashed = tempPath_ + L"/";
    std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
    for (const std::wstring& form :
         {slashed, tempPath_ + L"\\..\\temp\\", tempPath_ + L"\\\\", root_ / L"\\temp\\"}) {
        settings_.values[L"WSTempPath"] = form;
        logger_.Clear();
        Bytes stream;
        EXPECT_EQ(Success, Backup(L"FORMS", stream)) << Narrow(form) << Narrow(logger_.All());
        EXPECT_TRUE(Holds(logger_.All(), L"format '" + tempPath_ + L"\\")) << Narrow(form);
        EXPECT_TRUE(logger_.Texts(LogWarning).empty()) << Narrow(logger_.All());
        EXPECT_EQ(0u, CountEntries(tempPath_)) << Narrow(form);
    }
}

TEST_F(JobsTest, UnusableTempPathsAndQuotedPathsFailAtOnce) {
    CreateInstance(L"TMP");
    std::wstring error;
    ASSERT_TRUE(simoracle::CreateHome(kQuoteHomeName, root_ / L"o'home", error));
    ASSERT_TRUE(CreateDirectoryW((root_ / L"o'brien").c_str(), nullptr));
    const std::wstring quoteHomeItem = std::wstring(kQuoteHomeName) + L"\\TMP";
    const struct {
        std::wstring prefix;
        std::wstring item;
        const wchar_t* text;
    } cases[] = {
        {root_ / L"missing\\", Item(L"TMP"), kTempFolderError},
        {L"", Item(L"TMP"), kTempFolderError},
        {L"relative\\", Item(L"TMP"), kTempFolderError},
        {root_ / L"o'brien\\", Item(L"TMP"),
         L"The workstation's temp folder (WSTempPath) holds a quote, which Recovery Manager's "
         L"commands cannot carry: "},
        {tempPath_ + L"\\", quoteHomeItem,
         L"The Oracle home's folder holds a quote, which Recovery Manager's commands cannot "
         L"carry: "},
    };
    for (const auto& entry : cases) {
        settings_.values[L"WSTempPath"] = entry.prefix;
        logger_.Clear();
        PluginDataObject* source = library_.GetBackupDataRead(&logger_, &settings_);
        uint32_t handle = 5;
        EXPECT_EQ(Failure, source->Open(entry.item, 0, handle)) << Narrow(entry.prefix);
        EXPECT_EQ(0u, handle);
        source->Release();
        ASSERT_EQ(1u, logger_.Messages().size()) << Narrow(entry.prefix);
        EXPECT_EQ(LogError, logger_.Messages()[0].first);
        EXPECT_TRUE(StartsWith(logger_.Messages()[0].second, entry.text))
            << Narrow(logger_.Messages()[0].second);
        EXPECT_EQ(0u, CountEntries(tempPath_) + CountEntries(root_ / L"o'brien"));
    }
}

// A wrong password reaches Recovery Manager and fails there; one that the connect line cannot
// carry is never sent, so nothing it holds can run.
TEST_F(JobsTest, FailedConnectsReportTheReasonAndGiveNoHandle) {
    CreateInstance(L"DUMP");
    const std::string before = Digest(L"DUMP");
    for (const std::wstring password :
         {L"wrongpassword", L"secret1; shutdown immediate;", L"pass@DUMP", L"it's"}) {
        settings_.values[L"Password"] = password;
        logger_.Clear();
        PluginDataObject* source = library_.GetBackupDataRead(&logger_, &settings_);
        uint32_t handle = 9;
        EXPECT_EQ(Failure, source->Open(Item(L"DUMP"), 0, handle));
        EXPECT_EQ(0u, handle);
        source->Release();
        EXPECT_EQ(std::vector<std::wstring>{L"Dump database..."}, logger_.Texts(LogProgress));
        const std::vector<std::wstring> errors = logger_.Texts(LogError);
        ASSERT_EQ(1u, errors.size());
        EXPECT_TRUE(StartsWith(errors[0], L"Can't connect to the database: ")) << Narrow(errors[0]);
        const bool sent = password == L"wrongpassword";
        EXPECT_EQ(sent, Holds(errors[0], L"ORA-01017")) << Narrow(errors[0]);
        EXPECT_EQ(sent, Holds(logger_.All(), L"connect target")) << Narrow(logger_.All());
        EXPECT_TRUE(CommandsSent().empty()) << Narrow(logger_.All());
        EXPECT_EQ(std::wstring::npos, logger_.All().find(password)) << Narrow(password);
        EXPECT_EQ(simoracle::DatabaseState::Open, State(L"DUMP"));
        EXPECT_EQ(before, Digest(L"DUMP"));
    }
}

TEST_F(JobsTest, UnknownHandlesFail) {
    PluginDataObject* sink = library_.GetBackupDataWrite(&logger_, &settings_);
    unsigned char byte = 0;
    for (uint32_t handle : {0u, 1u, 12345u}) {
        uint32_t size = 1;
        EXPECT_EQ(Failure, sink->Read(&byte, size, handle));
        EXPECT_EQ(Failure, sink->Write(&byte, size, handle));
        EXPECT_EQ(Failure, sink->Close(handle));
    }
    sink->Release();
    EXPECT_TRUE(logger_.Messages().empty());
}

} // namespace
