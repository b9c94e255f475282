// The Recovery Manager console: runs rman.exe of an Oracle home as a redirected child and holds
// a strict command/prompt dialogue with it, and the commands and procedures built on that.
//
// Every line of the dialogue that is not banner, prompt or blank goes to the line callback: the
// commands sent (the connect line with its password masked) and Recovery Manager's output. The
// callback is called from the caller's thread and from the output reader thread.
//
// Failures are results: an operation returns false and leaves a fixed text in the error text
// (GetErrorText). Recovery Manager's own messages reach only the callback.
#pragma once

#include "plugin/OracleSettings.h"
#include "process/CRedirect.h"
#include "rman/RmanOutput.h"

#include <atomic>
#include <string>

// Receives one line of the dialogue; the text is valid only during the call.
typedef void (*RmanLineCallback)(void* context, const wchar_t* line);

class RmanWrapper : public CRedirect {
public:
    RmanWrapper(void* callbackContext, RmanLineCallback lineCallback);
    // Ends Recovery Manager (its input is closed; it is ended by force if it keeps running);
    // no callback is called once destruction has begun.
    ~RmanWrapper() override;

    // --- The console ---------------------------------------------------------------------
    // The job's settings, which Start and Connect use (RunBackup and RunRestore set them too).
    // Not owned: the record must outlive the console's use of it.
    void UseSettings(OracleSettings* jobSettings) { settings = jobSettings; }
    // Starts rman.exe of the settings' Oracle home with ORACLE_SID, ORACLE_HOME and NLS_LANG
    // ("AMERICAN_AMERICA.AL32UTF8": English messages, UTF-8 both ways) set in this process's
    // environment. Requires the settings (RunBackup and RunRestore set them). False when rman.exe
    // does not exist or cannot be started, and at once (error text unchanged) while this console's
    // Recovery Manager still runs.
    bool Start();
    // Connects to the target database named by the settings. False when the connect failed
    // ("Can't connect to the database") or Recovery Manager does not run or ended during it
    // ("Unexpected rman shutdown").
    bool Connect();
    // Waits for the prompt, sends one command (with its own "\n"), waits for the next prompt.
    // True when Recovery Manager prompted again and did not mark the command failed.
    bool ExecuteCommand(const std::wstring& command);
    // True once the prompt has been seen; false when Recovery Manager ended, or asked a question
    // for input instead of prompting (it is then ended, since nobody can answer). Waits without
    // a time limit while Recovery Manager works.
    bool WaitForPrompt();
    std::wstring GetErrorText() const;

    // --- The command set -----------------------------------------------------------------
    // Each sends one fixed command built from the settings and, on failure, stores its own
    // message in the error text (CrosscheckBackups has none).
    bool CrosscheckBackups();
    bool DeleteTaggedBackups();
    bool ShutdownImmediate();
    bool StartupMount();
    bool StartupForceNomount();
    bool OpenDatabase();
    bool OpenDatabaseResetLogs();
    bool BackupSpFileToFolder();
    bool BackupControlFileToFolder();
    bool BackupDatabaseToFolder();
    bool CatalogTempFolder();
    bool RestoreDatabaseByTag();
    bool RestoreArchiveLogs();
    bool RecoverDatabase();
    bool SetDbid();
    // Both restore from the newest piece in the folder that ends with the extension of their
    // template, or from the template's own name when there is none.
    bool RestoreSpFile();
    bool RestoreControlFile();
    bool RunHostCommand(const std::wstring& commandLine);
    bool CopyFileToFolder(const std::wstring& source, const std::wstring& destination);

    // --- The procedures ------------------------------------------------------------------
    // Full backup into jobSettings->tempFolder; on success the console stays running and
    // connected for CompleteBackup. The record must outlive the console's use of it. A failure
    // after it took the database down brings it back first when openAfterBackup is set.
    bool RunBackup(OracleSettings* jobSettings);
    // Crosscheck, deletion of the tagged backups, and reopening after an offline backup.
    // False, sending nothing, when Recovery Manager no longer runs.
    bool CompleteBackup();
    // Mount, catalogue jobSettings->tempFolder, restore, recover and open. True only when the
    // database is open again; a database left mounted gives false with the open's message.
    bool RunRestore(OracleSettings* jobSettings);

protected:
    void OnStdoutData(const char* text) override;
    void OnStderrData(const char* text) override;
    void OnChildExit() override;

private:
    // Passes each line of text that survives the line filter to the callback.
    void EmitLines(const std::wstring& text);
    // Ends Recovery Manager, which waits for an answer instead of prompting; always false.
    bool AbandonQuestion();

    void* callbackContext;
    std::wstring lastError;
    OracleSettings* settings; // the job's; not owned
    std::atomic<bool> promptSeen;
    std::atomic<bool> commandFailed;
    std::atomic<bool> questionSeen;      // the unfinished line asks for input
    std::atomic<unsigned> outputCount;   // chunks of standard output handled so far
    std::atomic<bool> droppingOutput;    // output that still arrives is dropped
    rman_output::OutputAssembler output; // output reader thread only, while it runs
    RmanLineCallback lineCallback;
    VIRid::UniqueHandle outputEvent; // set when a prompt arrives or Recovery Manager ends
};
