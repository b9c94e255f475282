// The plug-in object: the data source (backup) and data sink (restore) that the host sees through
// its two interfaces (host/ makes those of it), with the job table the operations share.
//
// Not thread-safe: the host calls one object from one thread at a time. The logger, when not
// null, must stay valid for the object's life and accept calls from other threads while the
// calling thread is blocked in Open or Close (Recovery Manager's output arrives on its own thread).
#pragma once

#include "plugin/Job.h"
#include "plugin/PluginContract.h"
#include "rman/OracleSettings.h"

#include <map>
#include <memory>
#include <string>

class PluginImplementation {
public:
    // Reads the host's settings once; the settings source is not used afterwards.
    // logger may be null: messages are then dropped.
    PluginImplementation(PluginLogger* logger, PluginSettingsSource* settingsSource);
    // Closes the jobs still open (see CloseOpenJobs); nothing that fails there leaves it.
    ~PluginImplementation();
    PluginImplementation(const PluginImplementation&) = delete;
    PluginImplementation& operator=(const PluginImplementation&) = delete;

    // The operations of IBackupDataRead's slots 2 to 8, each named as its slot.
    [[nodiscard]] int32_t Open(const std::wstring& itemPath, uint32_t direction, uint32_t& handle);
    [[nodiscard]] int32_t Read(unsigned char* buffer, uint32_t& size, const uint32_t& handle);
    [[nodiscard]] int32_t ReservedReadSlot4();
    [[nodiscard]] int32_t Close(const uint32_t& handle);
    [[nodiscard]] int32_t GetItemInfo(const std::wstring& itemPath, ItemInfo& info);
    [[nodiscard]] int32_t EnumItems(const std::wstring& itemPath, ItemEntryList& items);
    void ReservedReadSlot8();

    // The operations of IBackupDataWrite's slots 0 to 7.
    [[nodiscard]] int32_t Write(const unsigned char* buffer, uint32_t& size,
                                const uint32_t& handle);
    [[nodiscard]] int32_t ReservedWriteSlot1();
    [[nodiscard]] int32_t ReservedWriteSlot2();
    [[nodiscard]] int32_t ReservedWriteSlot3();
    [[nodiscard]] int32_t ReservedWriteSlot4();
    [[nodiscard]] int32_t ReservedWriteSlot5();
    [[nodiscard]] int32_t ReservedWriteSlot6();
    [[nodiscard]] int32_t ReservedWriteSlot7();

    // Sends one message to the host's logger; nothing when there is none.
    void Report(int32_t level, const std::wstring& text) const;

private:
    friend class BackupJob;
    friend class RestoreJob;

    // Closes every job still open as Close would, with a warning for each that names the
    // instance and what was done: a backup's closing steps run (a database that it took offline
    // is opened again, or shut down again when it was found down); a restore runs no Recovery
    // Manager step. The folders go.
    void CloseOpenJobs();
    // A new, empty folder named workstationTempPath (with a separator after it) + seconds since
    // 1970 + ".ora", with the mark that keeps other jobs from taking it for a left-over folder.
    // False, with the reason (the folder and the system's message) in error, when it cannot be
    // created.
    bool CreateJobTempFolder(Job& job, std::wstring& error);
    // Removes the job folders under workstationTempPath that no running job holds (jobs that
    // ended without closing), each with a warning; a folder kept for a manual restore stays and
    // is named with its age.
    void RemoveLeftoverJobFolders();
    // Keeps the restore job's folder for a manual restore: a note in it says so, and marks it
    // to stay when RemoveLeftoverJobFolders meets it.
    void KeepForManualRestore(const Job& job);
    // Removes the folder and everything in it; a warning, and false, when that fails.
    bool DeleteJobTempFolder(const std::wstring& path);

    PluginLogger* logger;
    std::wstring workstationTempPath;
    OracleSettings settings;           // the template every job starts from
    std::wstring settingsError;        // a malformed setting, which every Open refuses
    std::wstring backupSettingsError;  // why no backup job can start; empty when one can
    std::wstring restoreSettingsError; // why no restore job can start; empty when one can
    std::map<uint32_t, std::unique_ptr<Job>> jobs; // by handle
    uint32_t jobCounter;
};

// Line callback of a job's console: context is the plug-in object; the line
// goes to the logger at the detail level.
void ReportRmanOutput(void* context, const wchar_t* line);
