#include "rman/RmanWrapper.h"

#include "process/CRedirect.h"
#include "virid/FileSystem.h"
#include "virid/FormatString.h"
#include "virid/Strings.h"

namespace {

// How often the prompt wait looks again when nothing wakes it earlier.
const DWORD kPromptPollMs = 500;
// How long a question for input must stand, without further output, before it counts as one.
const ULONGLONG kQuestionStandsMs = 500;
// How long an ended Recovery Manager's last output may take to reach the callback.
const DWORD kLastOutputMs = 1000;
// Standard error has a reader of its own: what Recovery Manager wrote there before its prompt
// can still be on its way when the prompt has arrived.
const DWORD kStderrLagMs = 100;

} // namespace

// Recovery Manager's process; its notifications go to the console.
class RmanWrapper::Process : public CRedirect {
public:
    explicit Process(RmanWrapper& console) : console(console) {}
    ~Process() override { EndChild(); }
    using CRedirect::WaitForOutputEnd;

protected:
    void OnStdoutData(const char* text) override { console.OnStdoutData(text); }
    void OnStderrData(const char*) override { console.OnStderrData(); }
    void OnChildExit() override { console.OnChildExit(); }

private:
    RmanWrapper& console;
};

RmanWrapper::RmanWrapper(void* callbackContext, RmanLineCallback lineCallback)
    : callbackContext(callbackContext), lineCallback(lineCallback), promptSeen(false),
      commandFailed(false), questionSeen(false), outputCount(0), droppingOutput(false),
      outputEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr)), process(new Process(*this)) {}

RmanWrapper::~RmanWrapper() {
    droppingOutput = true;
    // Returns once every reader and the monitor have ended, before any member goes.
    process->EndChild();
}

bool RmanWrapper::IsRunning() const {
    return process->IsAlive();
}

bool RmanWrapper::Start(const OracleSettings& settings) {
    const std::wstring path = settings.GetRmanPath();
    if (!VIRid::filesystem::IsFileExists(path.c_str())) {
        lastError = L"RMAN utility (rman.exe) doesn't not found";
        return false;
    }
    if (process->IsAlive())
        return false;
    // The readers of an earlier run end before their buffers start afresh.
    process->EndChild();
    output.Clear();
    promptSeen = false;
    commandFailed = false;
    questionSeen = false;
    droppingOutput = false;

    SetEnvironmentVariableW(L"ORACLE_SID", settings.oracleSid.c_str());
    SetEnvironmentVariableW(L"ORACLE_HOME", settings.oracleHome.c_str());
    // English messages (the line filter knows the English banner) and UTF-8 both ways, whatever
    // code page the installation registered.
    SetEnvironmentVariableW(L"NLS_LANG", L"AMERICAN_AMERICA.AL32UTF8");

    // Quoted, so that a home under a folder with blanks cannot start another program.
    const std::wstring commandLine = L"\"" + path + L"\"";
    if (!process->Launch(commandLine.c_str(), false)) {
        lastError = L"Can't run RMAN utility (rman.exe)";
        return false;
    }
    return true;
}

bool RmanWrapper::Connect(const OracleSettings& settings) {
    // A line break would end the connect line early: the rest of the password would reach the
    // log unmasked, and Recovery Manager would take it for a command of its own.
    for (const std::wstring* value :
         {&settings.userName, &settings.password, &settings.connectIdentifier}) {
        if (value->find_first_of(L"\r\n") != std::wstring::npos) {
            lastError = L"Can't connect to the database: the user name or password holds a "
                        L"line break";
            return false;
        }
    }
    if (ExecuteCommand(rman_output::ConnectCommand(settings)))
        return true;
    if (commandFailed)
        lastError = L"Can't connect to the database";
    else // Recovery Manager is not running: it has connected nothing
        lastError = L"Unexpected rman shutdown";
    return false;
}

bool RmanWrapper::ExecuteCommand(const std::wstring& command) {
    if (!process->IsAlive())
        return false;
    if (!WaitForPrompt())
        return false;
    promptSeen = false;
    commandFailed = false;
    EmitLines(command);
    process->SendInput(command.c_str());
    if (!WaitForPrompt())
        return false;
    Sleep(kStderrLagMs);
    return !commandFailed;
}

bool RmanWrapper::WaitForPrompt() {
    bool questionStanding = false;
    unsigned questionOutputCount = 0;
    ULONGLONG questionSince = 0;
    while (process->IsAlive()) {
        if (promptSeen)
            return true;
        // A question counts once it has stood, with no output after it, for a while: the
        // unfinished line of a chunk can still grow into ordinary output.
        if (questionSeen) {
            const unsigned count = outputCount;
            const ULONGLONG now = GetTickCount64();
            if (!questionStanding || count != questionOutputCount) {
                questionStanding = true;
                questionOutputCount = count;
                questionSince = now;
            } else if (now - questionSince >= kQuestionStandsMs) {
                return AbandonQuestion();
            }
        } else {
            questionStanding = false;
        }
        WaitForSingleObject(outputEvent.get(), kPromptPollMs);
    }
    // Its last words reach the log before the failure is reported.
    process->WaitForOutputEnd(kLastOutputMs);
    lastError = L"Unexpected rman shutdown";
    return false;
}

bool RmanWrapper::AbandonQuestion() {
    commandFailed = true;
    // What Recovery Manager makes of the end of its input is of no interest any more.
    droppingOutput = true;
    process->EndChild();
    // The readers have ended: the unfinished line, still the question, is this thread's now.
    const std::wstring question = VIRid::strings::Replace(output.PendingLine(), L"\r", L"");
    EmitLines(question);
    lastError = FormatString(L"RMAN asked for input (%s) instead of prompting; it was stopped, "
                             L"since nobody can answer",
                             question.c_str());
    return false;
}

std::wstring RmanWrapper::GetErrorText() const {
    return lastError;
}

void RmanWrapper::SetErrorText(const std::wstring& text) {
    lastError = text;
}

void RmanWrapper::OnStdoutData(const char* text) {
    if (droppingOutput)
        return;
    const rman_output::OutputAssembler::Reading reading = output.Add(text);
    // The failure and the command's output lines come before the prompt that ends the command,
    // so that the waiting thread sees them when it sees the prompt.
    if (reading.failed)
        commandFailed = true;
    EmitLines(reading.completeLines);
    questionSeen = reading.question;
    ++outputCount;
    if (reading.prompt) {
        promptSeen = true;
        SetEvent(outputEvent.get());
    }
}

void RmanWrapper::OnStderrData() {
    if (!droppingOutput)
        commandFailed = true;
}

void RmanWrapper::OnChildExit() {
    SetEvent(outputEvent.get());
}

void RmanWrapper::EmitLines(const std::wstring& text) {
    if (!callbackContext || !lineCallback)
        return;
    for (const std::wstring& line : rman_output::LoggedLines(text))
        lineCallback(callbackContext, line.c_str());
}
