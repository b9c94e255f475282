#include "process/CRedirect.h"

#include "virid/Strings.h"

#include <string>
#include <utility>
#include <vector>

namespace {

const DWORD kChunkSize = 256;
// How long EndChild lets the child end by itself once its input is closed, and how long it
// waits for a forced end to take effect.
const DWORD kChildEndMs = 1000;
// How often EndChild cancels the read of a reader that has not ended yet.
const DWORD kReaderCancelMs = 100;

// An anonymous pipe of which only the child's end (reading when childReads, else writing) can be
// inherited.
bool CreateChildPipe(bool childReads, VIRid::UniqueHandle& ourEnd, VIRid::UniqueHandle& childEnd) {
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    VIRid::UniqueHandle readEnd;
    VIRid::UniqueHandle writeEnd;
    if (!CreatePipe(readEnd.receive(), writeEnd.receive(), &inheritable, 0))
        return false;
    ourEnd = std::move(childReads ? writeEnd : readEnd);
    childEnd = std::move(childReads ? readEnd : writeEnd);
    return SetHandleInformation(ourEnd.get(), HANDLE_FLAG_INHERIT, 0) != FALSE;
}

// A job object that ends every process in it when its last handle is closed, so that a child in
// it cannot outlive this process however this process ends. Null when the system gives none.
VIRid::UniqueHandle CreateKillOnCloseJob() {
    VIRid::UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job && !SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                        sizeof(limits)))
        job.reset();
    return job;
}

// The attribute list of a new process that limits what it inherits to the handles given, and
// nothing else this process has made inheritable (another thread's pipes, a host's files).
class InheritedHandles {
public:
    explicit InheritedHandles(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        buffer_.resize(size);
        list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
        if (!InitializeProcThreadAttributeList(list_, 1, 0, &size)) {
            list_ = nullptr;
            return;
        }
        if (!UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                       handles_.size() * sizeof(HANDLE), nullptr, nullptr)) {
            DeleteProcThreadAttributeList(list_);
            list_ = nullptr;
        }
    }
    ~InheritedHandles() {
        if (list_ != nullptr)
            DeleteProcThreadAttributeList(list_);
    }
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;

    // Null when the list could not be made.
    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

private:
    std::vector<HANDLE> handles_; // the list points into it
    std::vector<char> buffer_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// Waits for a reader thread to end. Once the child has ended and every write end of its pipe is
// closed, the read returns; a process that the child started can still hold a write end, so the
// reader's read is cancelled until it ends. The cancel is repeated because one that comes just
// before the reader enters its read is lost.
void JoinReader(VIRid::UniqueHandle& thread) {
    if (!thread)
        return;
    while (WaitForSingleObject(thread.get(), kReaderCancelMs) == WAIT_TIMEOUT)
        CancelSynchronousIo(thread.get());
    thread.reset();
}

} // namespace

CRedirect::CRedirect() : running(false), workerFailed(false) {}

CRedirect::~CRedirect() {
    EndChild();
}

bool CRedirect::Launch(const wchar_t* commandLine, bool showWindow, const wchar_t* environment) {
    EndChild();
    workerFailed = false;

    VIRid::UniqueHandle childStdinRead;
    VIRid::UniqueHandle childStdoutWrite;
    VIRid::UniqueHandle childStderrWrite;
    if (!CreateChildPipe(true, stdinWrite, childStdinRead) ||
        !CreateChildPipe(false, stdoutRead, childStdoutWrite) ||
        !CreateChildPipe(false, stderrRead, childStderrWrite)) {
        EndChild();
        ReportStartFailure(commandLine);
        return false;
    }
    stopEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    job = CreateKillOnCloseJob();
    processHandle.reset(SpawnProcess(commandLine, childStdoutWrite.get(), childStdinRead.get(),
                                     childStderrWrite.get(), showWindow, environment, job.get()));
    if (!stopEvent || !processHandle) {
        EndChild();
        ReportStartFailure(commandLine);
        return false;
    }
    // The child holds its own ends now.
    childStdinRead.reset();
    childStdoutWrite.reset();
    childStderrWrite.reset();

    running = true;
    stdoutThread.reset(CreateThread(nullptr, 0, StdoutReaderThread, this, 0, nullptr));
    stderrThread.reset(CreateThread(nullptr, 0, StderrReaderThread, this, 0, nullptr));
    monitorThread.reset(CreateThread(nullptr, 0, ExitMonitorThread, this, 0, nullptr));
    if (!stdoutThread || !stderrThread || !monitorThread) {
        EndChild();
        ReportStartFailure(commandLine);
        return false;
    }
    OnLaunched(VIRid::strings::WstrToUTF8(commandLine).c_str());
    return true;
}

void CRedirect::ReportStartFailure(const wchar_t* commandLine) {
    // Built as a string: a command line of any length fits.
    const std::string text =
        "Unable to start " + VIRid::strings::WstrToUTF8(commandLine ? commandLine : L"") + "\n";
    OnStdoutData(text.c_str());
}

HANDLE CRedirect::SpawnProcess(const wchar_t* commandLine, HANDLE childStdout, HANDLE childStdin,
                               HANDLE childStderr, bool showWindow, const wchar_t* environment,
                               HANDLE job) {
    const InheritedHandles inherited({childStdin, childStdout, childStderr});
    if (inherited.get() == nullptr)
        return nullptr;
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof(startup);
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = static_cast<WORD>(showWindow ? SW_SHOW : SW_HIDE);
    startup.StartupInfo.hStdInput = childStdin;
    startup.StartupInfo.hStdOutput = childStdout;
    startup.StartupInfo.hStdError = childStderr;
    startup.lpAttributeList = inherited.get();

    // CreateProcessW may write into the command line.
    std::vector<wchar_t> writable(commandLine, commandLine + wcslen(commandLine) + 1);
    PROCESS_INFORMATION process = {};
    // No process attributes: the child gets the default security of this process, so only
    // this account (and the administrators) can open it. It starts suspended, so that whatever
    // it starts is in the job too.
    const DWORD flags = CREATE_NEW_CONSOLE | EXTENDED_STARTUPINFO_PRESENT | CREATE_SUSPENDED |
                        (environment ? CREATE_UNICODE_ENVIRONMENT : 0);
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, TRUE, flags,
                        const_cast<wchar_t*>(environment), nullptr, &startup.StartupInfo, &process))
        return nullptr;
    const VIRid::UniqueHandle primaryThread(process.hThread);
    // A system that refuses the job (a host in a job that allows no other) still gets its
    // backup: the child then runs untied, as it would without a job.
    if (job != nullptr)
        AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(primaryThread.get());
    return process.hProcess;
}

template <typename Work> void CRedirect::RunWorker(Work work) {
    try {
        work();
    } catch (...) {
        // Nothing may leave a thread (the process would end). The output is no longer read, so
        // the child is ended: whoever waits for it sees it end instead of waiting for ever.
        workerFailed = true;
        running = false;
        TerminateProcess(processHandle.get(), 1);
    }
}

DWORD WINAPI CRedirect::StdoutReaderThread(void* self) {
    CRedirect* redirect = static_cast<CRedirect*>(self);
    redirect->RunWorker([redirect] { redirect->ReadLoop(redirect->stdoutRead.get(), true); });
    return 0;
}

DWORD WINAPI CRedirect::StderrReaderThread(void* self) {
    CRedirect* redirect = static_cast<CRedirect*>(self);
    redirect->RunWorker([redirect] { redirect->ReadLoop(redirect->stderrRead.get(), false); });
    return 0;
}

void CRedirect::ReadLoop(HANDLE pipe, bool isStdout) {
    char buffer[kChunkSize + 1];
    while (running) {
        DWORD count = 0;
        // A broken pipe (the child and every holder of the write end are gone), a cancelled
        // read (EndChild) or any other read error ends the reader: none of them heals.
        if (!ReadFile(pipe, buffer, kChunkSize, &count, nullptr))
            return;
        if (count == 0)
            continue;
        buffer[count] = '\0';
        if (isStdout)
            OnStdoutData(buffer);
        else
            OnStderrData(buffer);
    }
}

DWORD WINAPI CRedirect::ExitMonitorThread(void* self) {
    CRedirect* redirect = static_cast<CRedirect*>(self);
    const HANDLE events[2] = {redirect->stopEvent.get(), redirect->processHandle.get()};
    WaitForMultipleObjects(2, events, FALSE, INFINITE);
    redirect->RunWorker([redirect] { redirect->OnChildExit(); });
    return 0;
}

void CRedirect::EndChild() {
    running = false;
    if (stopEvent)
        SetEvent(stopEvent.get());
    if (monitorThread) {
        WaitForSingleObject(monitorThread.get(), INFINITE); // woken by the stop event
        monitorThread.reset();
    }
    // The only write end of the child's input: the child now reads end of file.
    stdinWrite.reset();
    if (processHandle && WaitForSingleObject(processHandle.get(), kChildEndMs) == WAIT_TIMEOUT) {
        TerminateProcess(processHandle.get(), 1);
        WaitForSingleObject(processHandle.get(), kChildEndMs);
    }
    // Ends what the child started and left running; their pipe ends break with them.
    job.reset();
    JoinReader(stdoutThread);
    JoinReader(stderrThread);
    // Closed only now: no reader uses them any more.
    stdoutRead.reset();
    stderrRead.reset();
    processHandle.reset();
    stopEvent.reset();
}

void CRedirect::WaitForOutputEnd(DWORD timeoutMs) const {
    HANDLE readers[2];
    DWORD count = 0;
    if (stdoutThread)
        readers[count++] = stdoutThread.get();
    if (stderrThread)
        readers[count++] = stderrThread.get();
    if (count > 0)
        WaitForMultipleObjects(count, readers, TRUE, timeoutMs);
}

bool CRedirect::IsAlive() const {
    // Asking the process object rather than the exit code: a child that ends with code 259
    // (STILL_ACTIVE) has ended all the same.
    return processHandle && WaitForSingleObject(processHandle.get(), 0) == WAIT_TIMEOUT;
}

void CRedirect::SendInput(const wchar_t* text) {
    const std::string bytes = VIRid::strings::WstrToUTF8(text ? text : L"");
    size_t sent = 0;
    while (stdinWrite && sent < bytes.size()) {
        DWORD written = 0;
        // A child that no longer reads its input shows in its output or its end, not here.
        if (!WriteFile(stdinWrite.get(), bytes.data() + sent,
                       static_cast<DWORD>(bytes.size() - sent), &written, nullptr) ||
            written == 0)
            return;
        sent += written;
    }
}

void CRedirect::OnLaunched(const char*) {}
void CRedirect::OnStdoutData(const char*) {}
void CRedirect::OnStderrData(const char*) {}
void CRedirect::OnChildExit() {}
