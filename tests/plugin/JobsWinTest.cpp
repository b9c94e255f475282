// Backup and restore jobs end to end: the real library, the Recovery Manager simulator and a
// simulated database, as a backup host drives them.
#include "tests/support/FakeHost.h"
#include "tests/support/win/TestFolder.h"
#include "tools/pluginhost/PluginLibrary.h"
#include "tools/simdb/SimOracle.h"

#include "virid/Win32Handles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using testing_support::TestFolder;
using Bytes = std::vector<unsigned char>;

const wchar_t kHomeName[] = L"JobsTestHome";
const wchar_t kPassword[] = L"Pw#JobsTest-7731";
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

// A one-entry ustar stream naming the given path, as a hostile host might send.
Bytes UstarStreamWithName(const std::string& name) {
    Bytes header(512, 0);
    std::memcpy(&header[0], name.data(), std::min<size_t>(name.size(), 100));
    std::memcpy(&header[100], "0000644", 7);
    std::memcpy(&header[108], "0000000", 7);
    std::memcpy(&header[116], "0000000", 7);
    std::memcpy(&header[124], "00000000004", 11); // 4 bytes of data
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
    Bytes stream = header;
    Bytes data(512, 0);
    std::memcpy(&data[0], "evil", 4);
    stream.insert(stream.end(), data.begin(), data.end());
    stream.insert(stream.end(), 1024, 0);
    return stream;
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

    // A whole backup job: Open, Read until the end, Close. Returns Close's result (or the first
    // failure) and the stream.
    int32_t Backup(const std::wstring& sid, Bytes& stream) {
        PluginDataObject* source = library_.GetBackupDataRead(&logger_, &settings_);
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

    void ExpectRoundTrip(const std::wstring& sid, bool controlFileLost) {
        const std::string before = Digest(sid);
        ASSERT_FALSE(before.empty());
        Bytes stream;
        ASSERT_EQ(Success, Backup(sid, stream)) << Narrow(logger_.All());
        ASSERT_FALSE(stream.empty());
        EXPECT_EQ(simoracle::DatabaseState::Open, State(sid));
        EXPECT_EQ(0u, CountEntries(tempPath_)) << "the backup's folder stays";

        std::wstring error;
        ASSERT_TRUE(simoracle::Wreck(homeDir_, sid, controlFileLost, error));
        EXPECT_TRUE(Digest(sid).empty() || Digest(sid) != before);
        logger_.Clear();
        ASSERT_EQ(Success, Restore(sid, stream)) << Narrow(logger_.All());
        EXPECT_TRUE(Contains(logger_.Texts(LogProgress), L"Restore database..."));
        EXPECT_EQ(before, Digest(sid));
        EXPECT_EQ(simoracle::DatabaseState::Open, State(sid));
        EXPECT_EQ(0u, CountEntries(tempPath_)) << "the restore's folder stays";
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
    std::wstring error;
    ASSERT_TRUE(simoracle::Wreck(homeDir_, L"NOARC", false, error));
    ASSERT_EQ(Success, Restore(L"NOARC", stream)) << Narrow(logger_.All());
    EXPECT_EQ(before, Digest(L"NOARC"));
}

TEST_F(JobsTest, DamagedStreamsFailWithoutTouchingTheDatabase) {
    CreateInstance(L"DMG");
    Bytes stream;
    ASSERT_EQ(Success, Backup(L"DMG", stream));
    const std::string before = Digest(L"DMG");

    Bytes flipped = stream;
    flipped[flipped.size() / 2] ^= 0x01;
    const Bytes cut(stream.begin(), stream.begin() + stream.size() / 3);
    const std::vector<std::pair<const char*, Bytes>> damaged = {
        {"one byte flipped", flipped},
        {"cut short", cut},
        {"hostile path", UstarStreamWithName("../escaped.bcp")},
        {"absolute path", UstarStreamWithName("C:/Windows/escaped.bcp")},
    };
    for (const auto& entry : damaged) {
        logger_.Clear();
        EXPECT_EQ(Failure, Restore(L"DMG", entry.second, 4096)) << entry.first;
        EXPECT_FALSE(logger_.Texts(LogError).empty()) << entry.first;
        EXPECT_FALSE(Contains(logger_.Texts(LogProgress), L"Restore database...")) << entry.first;
        EXPECT_TRUE(logger_.Texts(LogDetail).empty()) << entry.first << ": Recovery Manager ran";
        EXPECT_EQ(before, Digest(L"DMG")) << entry.first;
        EXPECT_EQ(simoracle::DatabaseState::Open, State(L"DMG")) << entry.first;
        EXPECT_EQ(0u, CountEntries(tempPath_)) << entry.first;
    }
    EXPECT_FALSE(testing_support::PathExists(root_ / L"escaped.bcp"));
}

TEST_F(JobsTest, ARestoreThatCannotOpenTheDatabaseFailsAndKeepsTheJob) {
    CreateInstance(L"NOOPEN");
    Bytes stream;
    ASSERT_EQ(Success, Backup(L"NOOPEN", stream));
    std::wstring error;
    ASSERT_TRUE(simoracle::Wreck(homeDir_, L"NOOPEN", false, error));
    ASSERT_TRUE(simoracle::AddFault(homeDir_, L"NOOPEN", simoracle::FaultKind::Fail,
                                    L"alter database open", error));
    logger_.Clear();
    PluginDataObject* sink = library_.GetBackupDataWrite(&logger_, &settings_);
    uint32_t handle = 0;
    ASSERT_EQ(Success, sink->Open(Item(L"NOOPEN"), 1, handle));
    uint32_t size = static_cast<uint32_t>(stream.size());
    ASSERT_EQ(Success, sink->Write(stream.data(), size, handle));
    EXPECT_EQ(Failure, sink->Close(handle));
    EXPECT_EQ(std::vector<std::wstring>{L"Can't open resetlogs"}, logger_.Texts(LogError));
    EXPECT_EQ(simoracle::DatabaseState::Mounted, State(L"NOOPEN"));
    // The job and its folder stay; closing again reports again.
    EXPECT_EQ(1u, CountEntries(tempPath_));
    EXPECT_EQ(Failure, sink->Close(handle));
    EXPECT_EQ(2u, logger_.Texts(LogError).size());
    sink->Release();
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

TEST_F(JobsTest, UnusableTempPathsGiveTheTempFolderMessage) {
    CreateInstance(L"TMP");
    for (const std::wstring& prefix :
         {root_ / L"missing\\", std::wstring(), std::wstring(L"relative\\")}) {
        settings_.values[L"WSTempPath"] = prefix;
        logger_.Clear();
        PluginDataObject* source = library_.GetBackupDataRead(&logger_, &settings_);
        uint32_t handle = 5;
        EXPECT_EQ(Failure, source->Open(Item(L"TMP"), 0, handle)) << Narrow(prefix);
        EXPECT_EQ(0u, handle);
        source->Release();
        ASSERT_EQ(1u, logger_.Messages().size()) << Narrow(prefix);
        EXPECT_EQ(RecordingLogger::Message(LogError, kTempFolderError), logger_.Messages()[0]);
    }
}

TEST_F(JobsTest, AFailedDumpReportsTheConsoleErrorAndGivesNoHandle) {
    CreateInstance(L"DUMP");
    settings_.values[L"Password"] = L"wrong password";
    PluginDataObject* source = library_.GetBackupDataRead(&logger_, &settings_);
    uint32_t handle = 9;
    EXPECT_EQ(Failure, source->Open(Item(L"DUMP"), 0, handle));
    EXPECT_EQ(0u, handle);
    source->Release();
    EXPECT_EQ(std::vector<std::wstring>{L"Dump database..."}, logger_.Texts(LogProgress));
    EXPECT_EQ(std::vector<std::wstring>{L"Can't connect to the database"}, logger_.Texts(LogError));
    EXPECT_EQ(simoracle::DatabaseState::Open, State(L"DUMP"));
    EXPECT_EQ(std::wstring::npos, logger_.All().find(L"wrong password"));
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
