// Runs one console program as a child process whose standard input, output and error are
// anonymous pipes held here. Two worker threads read the child's standard output and standard
// error and hand every chunk read (1 to 256 bytes, zero-terminated, unconverted) to the virtual
// notifications; a third watches for the child's end. Text can be written to the child's
// standard input; EndChild (also run by the destructor) stops all of it.
//
// Each object serves its own child: the workers of one object never depend on another's.
// Notifications run on the worker threads; a derived class synchronises what they share. When
// EndChild returns, no worker thread of this object is running any more, so a derived class
// that calls EndChild in its own destructor receives no notification after that.
//
// The child inherits its three pipe ends and no other handle of this process, and it runs in a
// job object of its own that ends it, and whatever it started, when this process ends (or the
// object ends it): no child outlives its host.
#pragma once

#include "virid/Win32Handles.h"

#include <atomic>

class CRedirect {
public:
    CRedirect();
    virtual ~CRedirect();
    CRedirect(const CRedirect&) = delete;
    CRedirect& operator=(const CRedirect&) = delete;

    // Starts the child hidden (or shown) with the command line exactly as given, the default
    // security of the calling process and the given environment block (UTF-16 "NAME=value"
    // texts, each zero-terminated, with one more zero at the end; null: this process's
    // environment), and the worker threads;
    // an earlier child of this object is ended first. False when the process cannot be created:
    // OnStdoutData has then received "Unable to start <command line>\n" on the calling thread,
    // and nothing runs.
    bool Launch(const wchar_t* commandLine, bool showWindow, const wchar_t* environment = nullptr);

    // Stops the workers, closes the child's standard input so that it can end by itself, ends
    // it by force (exit code 1) if it has not done so within a second, and releases every
    // handle. Returns only when no worker thread of this object runs any more. Safe to call at
    // any time, more than once; never from a notification.
    void EndChild();

    // True while the child process runs (whatever exit code it ends with).
    bool IsAlive() const;
    // A notification failed by exception: the worker that ran it caught it and ended the child,
    // which is then seen to end. Cleared by the next Launch.
    bool WorkerFailed() const { return workerFailed; }

    // Writes the text, as UTF-8, to the child's standard input; nothing is added.
    void SendInput(const wchar_t* text);

protected:
    // Each does nothing here. OnLaunched: once after a start, on the calling thread, with the
    // command line in UTF-8. OnStdoutData / OnStderrData: every chunk read, on the reader
    // threads (and the start-failure text, on the calling thread). OnChildExit: once per start,
    // on the monitor thread, when the child has ended or EndChild stops the monitor. Output that
    // the child wrote before it ended is still delivered after OnChildExit.
    virtual void OnLaunched(const char* commandLine);
    virtual void OnStdoutData(const char* text);
    virtual void OnStderrData(const char* text);
    virtual void OnChildExit();

    // Once the child has ended: waits up to timeoutMs for the readers to deliver the rest of its
    // output (they end when its pipes break). Not from a notification.
    void WaitForOutputEnd(DWORD timeoutMs) const;

private:
    static DWORD WINAPI StdoutReaderThread(void* self);
    static DWORD WINAPI StderrReaderThread(void* self);
    static DWORD WINAPI ExitMonitorThread(void* self);
    // Runs a worker's work; an exception that leaves it ends the child (see WorkerFailed).
    template <typename Work> void RunWorker(Work work);
    void ReadLoop(HANDLE pipe, bool isStdout);
    // Creates the child in job (when there is one), inheriting only the three handles given.
    static HANDLE SpawnProcess(const wchar_t* commandLine, HANDLE childStdout, HANDLE childStdin,
                               HANDLE childStderr, bool showWindow, const wchar_t* environment,
                               HANDLE job);
    void ReportStartFailure(const wchar_t* commandLine);

    // The child's own pipe ends are closed here as soon as the child holds them, so a reader
    // sees the pipe break once the child (and whatever inherited its handles) has ended.
    VIRid::UniqueHandle stopEvent; // signalled by EndChild; wakes the exit monitor
    VIRid::UniqueHandle stdinWrite;
    VIRid::UniqueHandle stdoutRead;
    VIRid::UniqueHandle stderrRead;
    VIRid::UniqueHandle stdoutThread;
    VIRid::UniqueHandle stderrThread;
    VIRid::UniqueHandle monitorThread;
    VIRid::UniqueHandle processHandle;
    VIRid::UniqueHandle job;   // ends the child's processes when it is closed
    std::atomic<bool> running; // this object's workers run while it is set
    std::atomic<bool> workerFailed;
};
