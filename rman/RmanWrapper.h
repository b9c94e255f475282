// The Recovery Manager console: runs rman.exe of an Oracle home as a redirected child and holds
// a strict command/prompt dialogue with it.
//
// Every line of the dialogue that is not banner, prompt or blank goes to the line callback: the
// commands sent (the connect line with its password masked) and Recovery Manager's output. The
// callback is called from the caller's thread and from the output reader thread.
//
// Failures are results: an operation returns false and leaves a text in the error text
// (GetErrorText). Recovery Manager's own messages reach only the callback.
#pragma once

#include "rman/OracleSettings.h"
#include "rman/RmanOutput.h"
#include "virid/Win32Handles.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Receives one line of the dialogue; the text is valid only during the call.
typedef void (*RmanLineCallback)(void* context, const wchar_t* line);

class RmanWrapper {
public:
    RmanWrapper(void* callbackContext, RmanLineCallback lineCallback);
    // Ends Recovery Manager (its input is closed; it is ended by force if it keeps running);
    // no callback is called once destruction has begun.
    ~RmanWrapper();
    RmanWrapper(const RmanWrapper&) = delete;
    RmanWrapper& operator=(const RmanWrapper&) = delete;

    // Starts rman.exe of the settings' Oracle home with ORACLE_SID, ORACLE_HOME, NLS_LANG
    // ("AMERICAN_AMERICA.AL32UTF8": English messages, UTF-8 both ways) and NLS_DATE_FORMAT
    // ("YYYY-MM-DD HH24:MI:SS": dates with their time, which Oracle takes only with NLS_LANG)
    // set in its own environment; this process's environment is not changed. False when rman.exe
    // does not exist or cannot be started, and at once (error text unchanged) while this console's
    // Recovery Manager still runs.
    [[nodiscard]] bool Start(const OracleSettings& settings);
    // Connects to the target database named by the settings. False, with "Can't connect to the
    // database" and the reason, when the connect failed or a user name, password or connect
    // identifier holds a character that the connect line cannot carry (then nothing is sent);
    // "Unexpected rman shutdown" when Recovery Manager does not run or ended during it.
    [[nodiscard]] bool Connect(const OracleSettings& settings);
    // Waits for the prompt, sends one command (with its own "\n"), waits for the next prompt.
    // True when Recovery Manager prompted again and did not mark the command failed. Waits
    // without a time limit while Recovery Manager works; a question for input or a continuation
    // prompt (an unfinished command) ends it, since nobody can answer.
    [[nodiscard]] bool ExecuteCommand(const std::wstring& command);
    // True while this console's Recovery Manager runs.
    bool IsRunning() const;
    // Ends Recovery Manager, so that Start can run it afresh.
    void Stop();

    std::wstring GetErrorText() const;
    // Sets the error text to sentence followed by Recovery Manager's reason for the last failed
    // command (the message lines of its error stack and its standard error, on one line). Once
    // Recovery Manager has ended unasked, the text of that end is kept until the next Start.
    void Fail(const std::wstring& sentence);
    // The reason of the last failed command: its error stack's message lines and standard error
    // text, joined on one line; empty when it gave none.
    std::wstring FailureReason() const;
    // The last failed command's error stack holds the message code ("ORA-00258").
    bool FailedWith(const std::wstring& code) const;
    // The standard output of the last command sent, whole lines up to its prompt.
    std::wstring CommandOutput() const;
    // The DBID that the connect reported for the target ("connected to target database: NAME
    // (DBID=n)"); empty when the target did not report one (not mounted, no control file).
    std::wstring TargetDbid() const;

private:
    class Process;

    bool WaitForPrompt();
    // Keeps what the failed command's output and standard error said as the failure's reason.
    void NoteFailureReason();
    // Recovery Manager ended while a prompt was awaited: the failure that stays.
    void EndedUnasked(const std::wstring& text);
    // Passes each line of text that survives the line filter to the callback.
    void EmitLines(const std::wstring& text);
    // Ends Recovery Manager, which waits for an answer instead of prompting; always false.
    bool AbandonQuestion();
    // The notifications of the child process, on its reader and monitor threads.
    void OnStdoutData(const char* text);
    void OnStderrData(const char* text);
    void OnChildExit();

    void* callbackContext;
    RmanLineCallback lineCallback;
    std::wstring lastError;
    bool launched = false; // by Start, and not stopped since
    bool ended = false;    // Recovery Manager ended unasked; lastError says how
    std::atomic<bool> promptSeen;
    std::atomic<bool> commandFailed;
    std::atomic<bool> questionSeen;      // the unfinished line asks for input
    std::atomic<unsigned> outputCount;   // chunks of standard output handled so far
    std::atomic<bool> droppingOutput;    // output that still arrives is dropped
    rman_output::OutputAssembler output; // output reader thread only, while it runs
    // What the current command's output says of a failure, and the target's DBID; written by
    // the readers, read by the caller.
    mutable std::mutex reasonMutex;
    std::vector<std::wstring> errorLines;
    std::string stderrText;
    std::wstring commandOutput;
    std::wstring failureReason;             // of the last failed command; caller only
    std::vector<std::wstring> failureStack; // likewise
    std::wstring targetDbid;
    VIRid::UniqueHandle outputEvent;  // set when a prompt arrives or Recovery Manager ends
    std::unique_ptr<Process> process; // last member: its threads end before the rest goes
};
