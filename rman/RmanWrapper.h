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
#include <string>

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

    // Starts rman.exe of the settings' Oracle home with ORACLE_SID, ORACLE_HOME and NLS_LANG
    // ("AMERICAN_AMERICA.AL32UTF8": English messages, UTF-8 both ways) set in this process's
    // environment. False when rman.exe does not exist or cannot be started, and at once (error
    // text unchanged) while this console's Recovery Manager still runs.
    bool Start(const OracleSettings& settings);
    // Connects to the target database named by the settings. False when the connect failed
    // ("Can't connect to the database") or Recovery Manager does not run or ended during it
    // ("Unexpected rman shutdown").
    bool Connect(const OracleSettings& settings);
    // Waits for the prompt, sends one command (with its own "\n"), waits for the next prompt.
    // True when Recovery Manager prompted again and did not mark the command failed. Waits
    // without a time limit while Recovery Manager works; a question for input ends it, since
    // nobody can answer.
    bool ExecuteCommand(const std::wstring& command);
    // True while this console's Recovery Manager runs.
    bool IsRunning() const;

    std::wstring GetErrorText() const;
    // Replaces the error text: a step built on the console states its own failure.
    void SetErrorText(const std::wstring& text);

private:
    class Process;

    bool WaitForPrompt();
    // Passes each line of text that survives the line filter to the callback.
    void EmitLines(const std::wstring& text);
    // Ends Recovery Manager, which waits for an answer instead of prompting; always false.
    bool AbandonQuestion();
    // The notifications of the child process, on its reader and monitor threads.
    void OnStdoutData(const char* text);
    void OnStderrData();
    void OnChildExit();

    void* callbackContext;
    RmanLineCallback lineCallback;
    std::wstring lastError;
    std::atomic<bool> promptSeen;
    std::atomic<bool> commandFailed;
    std::atomic<bool> questionSeen;      // the unfinished line asks for input
    std::atomic<unsigned> outputCount;   // chunks of standard output handled so far
    std::atomic<bool> droppingOutput;    // output that still arrives is dropped
    rman_output::OutputAssembler output; // output reader thread only, while it runs
    VIRid::UniqueHandle outputEvent;     // set when a prompt arrives or Recovery Manager ends
    std::unique_ptr<Process> process;    // last member: its threads end before the rest goes
};
