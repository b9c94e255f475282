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
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
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
    // Recovery Manager still runs. With rmanTimeoutMinutes above 0, every wait ends Recovery
    // Manager once it has stayed silent that long: no output, and no file of tempFolder grew.
    [[nodiscard]] bool Start(const OracleSettings& settings);
    // Connects to the target database named by the settings. False, with "Can't connect to the
    // database" and the reason, when the connect failed (also when Recovery Manager does not
    // run or ended during it) or a user name, password or connect identifier holds a character
    // that the connect line cannot carry (then nothing is sent).
    [[nodiscard]] bool Connect(const OracleSettings& settings);
    // Waits for the prompt, sends one command (with its own "\n"), waits for the next prompt.
    // True when Recovery Manager prompted again and did not mark the command failed. Waits
    // without a time limit while Recovery Manager works (but see Start); a question for input or
    // a continuation prompt (an unfinished command) ends it, since nobody can answer.
    [[nodiscard]] bool ExecuteCommand(const std::wstring& command);
    // Waits for the prompt and sends one command, which then stays under way while the caller
    // goes on: AwaitCommand follows it to its end. False, as ExecuteCommand, when it could not be
    // sent.
    [[nodiscard]] bool SendCommand(const std::wstring& command);
    enum class CommandProgress {
        Running,    // waitMs passed
        PieceNamed, // Recovery Manager named a piece (see TakeNamedPieces)
        Succeeded,  // it prompted again and did not mark the command failed
        Failed,     // as ExecuteCommand fails: the reason is kept (FailureReason, FailedWith)
    };
    // Waits at most waitMs for the command that SendCommand sent. Once it has ended, the answer
    // stays Succeeded or Failed until the next command.
    CommandProgress AwaitCommand(unsigned waitMs);
    // The pieces that Recovery Manager named ("piece handle=PATH tag=...") since the last call,
    // in the order it named them, for every command since Start.
    std::vector<std::wstring> TakeNamedPieces();
    // True while this console's Recovery Manager runs.
    bool IsRunning() const;
    // Ends Recovery Manager, so that Start can run it afresh.
    void Stop();

    std::wstring GetErrorText() const;
    // Sets the error text to sentence followed by Recovery Manager's reason for the last failed
    // command (the message lines of its error stack and its standard error, on one line). Once
    // Recovery Manager has ended unasked, the reason is how it ended ("Unexpected rman
    // shutdown" and what it said last, or why it was stopped) until the next Start.
    void Fail(const std::wstring& sentence);
    // The reason of the last failed command: its error stack's message lines and standard error
    // text, joined on one line; empty when it gave none.
    std::wstring FailureReason() const;
    // The last failed command's error stack holds the message code ("ORA-19602").
    bool FailedWith(const wchar_t* code) const;
    // The message lines of the last failed command's error stack.
    std::vector<std::wstring> FailureLines() const;
    // Sets the error text as it is, for a failure whose reason was kept from an earlier command.
    void SetErrorText(const std::wstring& text);
    // The standard output of the last command sent, whole lines up to its prompt.
    std::wstring CommandOutput() const;
    // The DBID that the connect reported for the target ("connected to target database: NAME
    // (DBID=n)"); empty when the target did not report one (not open, no control file).
    std::wstring TargetDbid() const;
    // The database name that the connect reported ("connected to target database: NAME (...)",
    // also when not mounted); empty when it reported none (not started).
    std::wstring TargetName() const;
    // The state that the connect reported for the target; Unknown before a connect.
    rman_output::TargetState TargetState() const;

private:
    class Process;

    enum class Wait { Prompt, Piece, Timeout, Ended };
    // Waits for the prompt, and with wakeOnPiece for a named piece too; limitMs 0: no limit.
    Wait WaitForEvent(bool wakeOnPiece, unsigned limitMs);
    bool WaitForPrompt() { return WaitForEvent(false, 0) == Wait::Prompt; }
    // The command failed or Recovery Manager ended: the reason is kept.
    void NoteFailure();
    // Keeps what the failed command's output and standard error said as the failure's reason.
    void NoteFailureReason();
    // Recovery Manager ended, by itself or stopped here; text says how, and stays the reason of
    // every failure until the next Start.
    void Ended(const std::wstring& text);
    // Recovery Manager ended while a prompt was awaited: the failure that stays.
    void EndedUnasked(const std::wstring& text);
    // Ends Recovery Manager, silent for longer than the settings allow; always false.
    bool AbandonSilence();
    // Silence: no output on either stream, and the job folder's files no longer grow. The clock
    // runs across the waits for one command.
    std::pair<unsigned, uint64_t> Activity() const;
    void RestartSilenceClock();
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
    bool ended = false;    // Recovery Manager ended unasked; endText says how
    std::wstring endText;
    double silenceLimitMinutes = 0; // 0: no limit
    std::wstring watchedFolder; // the job folder, whose files grow while Recovery Manager writes
    std::pair<unsigned, uint64_t> lastActivity; // the caller's thread only
    unsigned long long silentSince = 0;
    std::atomic<bool> promptSeen;
    std::atomic<bool> commandFailed;
    std::atomic<bool> questionSeen;    // the unfinished line asks for input
    std::atomic<unsigned> outputCount; // chunks of standard output handled so far
    std::atomic<unsigned> errorCount;  // chunks of standard error handled so far
    std::atomic<bool> droppingOutput;  // output that still arrives is dropped
    std::atomic<bool> piecesNamed;     // namedPieces holds pieces not yet taken
    bool commandEnded = true;          // the command sent has prompted again or failed
    bool commandSucceeded = false;
    rman_output::OutputAssembler output; // output reader thread only, while it runs
    // What the current command's output says of a failure, and the target's DBID; written by
    // the readers, read by the caller.
    mutable std::mutex reasonMutex;
    std::vector<std::wstring> errorLines;
    std::string stderrText;
    std::wstring commandOutput;             // of the current command
    std::wstring failureReason;             // of the last failed command; caller only
    std::vector<std::wstring> failureCodes; // the message codes of its error stack; caller only
    std::vector<std::wstring> failureLines; // its error stack's lines; caller only
    std::wstring targetDbid;
    std::wstring targetName;
    std::vector<std::wstring> namedPieces;
    rman_output::TargetState targetState = rman_output::TargetState::Unknown;
    VIRid::UniqueHandle outputEvent;  // set when a prompt arrives or Recovery Manager ends
    std::unique_ptr<Process> process; // last member: its threads end before the rest goes
};
