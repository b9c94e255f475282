#include "rman/RmanWrapper.h"

#include "process/CRedirect.h"
#include "rman/FolderFiles.h"
#include "rman/RmanCommands.h"
#include "rman/RmanEnvironment.h"
#include "virid/FileSystem.h"
#include "virid/FormatString.h"
#include "virid/Strings.h"

#include <algorithm>
#include <utility>

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

const wchar_t kUnexpectedShutdown[] = L"Unexpected rman shutdown";
const wchar_t kOutputReadingFailed[] =
    L"Recovery Manager's output could not be read (the plug-in ran out of memory); it was stopped";
const wchar_t kCannotConnect[] = L"Can't connect to the database";

// The connect line is sent unquoted: a blank or ";" would end the password and start a command
// of its own, "@" would start a connect identifier and "/" a password, a quote would open a
// string that never ends.
bool FitsTheConnectLine(const std::wstring& value) {
    for (wchar_t c : value)
        if (c < L' ' || c == 0x7F || std::wstring(L" ;'\"@/").find(c) != std::wstring::npos)
            return false;
    return true;
}

// This process's environment as "NAME=value" entries.
std::vector<std::wstring> CurrentEnvironment() {
    std::vector<std::wstring> entries;
    wchar_t* block = GetEnvironmentStringsW();
    if (block == nullptr)
        return entries;
    for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1)
        entries.push_back(entry);
    FreeEnvironmentStringsW(block);
    return entries;
}

} // namespace

// Recovery Manager's process; its notifications go to the console.
class RmanWrapper::Process : public CRedirect {
public:
    explicit Process(RmanWrapper& console) : console(console) {}
    ~Process() override { EndChild(); }
    using CRedirect::WaitForOutputEnd;

protected:
    void OnStdoutData(const char* text) override { console.OnStdoutData(text); }
    void OnStderrData(const char* text) override { console.OnStderrData(text); }
    void OnChildExit() override { console.OnChildExit(); }

private:
    RmanWrapper& console;
};

RmanWrapper::RmanWrapper(void* callbackContext, RmanLineCallback lineCallback)
    : callbackContext(callbackContext), lineCallback(lineCallback), promptSeen(false),
      commandFailed(false), questionSeen(false), outputCount(0), errorCount(0),
      droppingOutput(false), piecesNamed(false),
      outputEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr)), process(new Process(*this)) {}

RmanWrapper::~RmanWrapper() {
    droppingOutput = true;
    // Returns once every reader and the monitor have ended, before any member goes.
    process->EndChild();
}

bool RmanWrapper::IsRunning() const {
    return process->IsAlive();
}

void RmanWrapper::Stop() {
    droppingOutput = true;
    process->EndChild();
    launched = false;
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
    ended = false;
    endText.clear();
    silenceLimitMinutes = settings.rmanTimeoutMinutes;
    watchedFolder = settings.tempFolder;
    {
        std::lock_guard<std::mutex> lock(reasonMutex);
        errorLines.clear();
        stderrText.clear();
        commandOutput.clear();
        targetDbid.clear();
        targetName.clear();
        targetState = rman_output::TargetState::Unknown;
        namedPieces.clear();
    }
    piecesNamed = false;
    failureReason.clear();
    failureCodes.clear();

    // The variables go to Recovery Manager alone: two consoles of one host process, on two
    // threads, must each reach their own instance. English messages (the line filter knows the
    // English banner) and UTF-8 both ways, whatever code page the installation registered.
    const std::wstring environment =
        EnvironmentBlock(CurrentEnvironment(), {{L"ORACLE_SID", settings.oracleSid},
                                                {L"ORACLE_HOME", settings.oracleHome},
                                                {L"NLS_LANG", L"AMERICAN_AMERICA.AL32UTF8"},
                                                {L"NLS_DATE_FORMAT", L"YYYY-MM-DD HH24:MI:SS"}});
    // Quoted, so that a home under a folder with blanks cannot start another program.
    const std::wstring commandLine = L"\"" + path + L"\"";
    if (!process->Launch(commandLine.c_str(), false, environment.c_str())) {
        lastError = L"Can't run RMAN utility (rman.exe)";
        return false;
    }
    launched = true;
    return true;
}

bool RmanWrapper::Connect(const OracleSettings& settings) {
    for (const std::wstring* value :
         {&settings.userName, &settings.password, &settings.connectIdentifier}) {
        if (!FitsTheConnectLine(*value)) {
            lastError =
                std::wstring(kCannotConnect) +
                L": the user name, password or connect identifier holds a character that the "
                L"connect line cannot carry (a blank, a control character or one of ; ' \" @ /)";
            return false;
        }
    }
    if (ExecuteCommand(ConnectCommand(settings)))
        return true;
    Fail(kCannotConnect);
    return false;
}

bool RmanWrapper::ExecuteCommand(const std::wstring& command) {
    if (!SendCommand(command))
        return false;
    if (WaitForPrompt()) {
        Sleep(kStderrLagMs);
        if (!commandFailed)
            return true;
    }
    NoteFailure();
    return false;
}

std::pair<unsigned, uint64_t> RmanWrapper::Activity() const {
    return std::make_pair(outputCount + errorCount,
                          silenceLimitMinutes > 0 ? FolderBytes(watchedFolder) : 0);
}

void RmanWrapper::RestartSilenceClock() {
    lastActivity = Activity();
    silentSince = GetTickCount64();
}

bool RmanWrapper::SendCommand(const std::wstring& command) {
    RestartSilenceClock();
    commandEnded = true;
    commandSucceeded = false;
    if (!process->IsAlive()) {
        // It ended between two commands: that end, not a later step, is what went wrong.
        if (launched && !ended)
            EndedUnasked(kUnexpectedShutdown);
        return false;
    }
    if (!WaitForPrompt()) {
        NoteFailure();
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(reasonMutex);
        errorLines.clear();
        stderrText.clear();
        commandOutput.clear();
    }
    promptSeen = false;
    commandFailed = false;
    EmitLines(command);
    process->SendInput(command.c_str());
    RestartSilenceClock();
    commandEnded = false;
    return true;
}

RmanWrapper::CommandProgress RmanWrapper::AwaitCommand(unsigned waitMs) {
    if (commandEnded)
        return commandSucceeded ? CommandProgress::Succeeded : CommandProgress::Failed;
    switch (WaitForEvent(true, waitMs)) {
    case Wait::Piece:
        return CommandProgress::PieceNamed;
    case Wait::Timeout:
        return CommandProgress::Running;
    case Wait::Prompt:
        Sleep(kStderrLagMs);
        commandEnded = true;
        commandSucceeded = !commandFailed;
        if (commandSucceeded)
            return CommandProgress::Succeeded;
        break;
    case Wait::Ended:
        commandEnded = true;
        break;
    }
    NoteFailure();
    return CommandProgress::Failed;
}

std::vector<std::wstring> RmanWrapper::TakeNamedPieces() {
    std::lock_guard<std::mutex> lock(reasonMutex);
    piecesNamed = false;
    std::vector<std::wstring> pieces;
    pieces.swap(namedPieces);
    return pieces;
}

void RmanWrapper::NoteFailure() {
    NoteFailureReason();
    if (!ended && !process->IsAlive())
        EndedUnasked(kUnexpectedShutdown);
}

void RmanWrapper::NoteFailureReason() {
    std::lock_guard<std::mutex> lock(reasonMutex);
    failureCodes.clear();
    failureLines = errorLines;
    for (const std::wstring& line : errorLines)
        failureCodes.push_back(rman_output::MessageCode(line));
    std::vector<std::wstring> reason = errorLines;
    std::wstring errorText = VIRid::strings::UTF8toWstr(stderrText);
    for (wchar_t& c : errorText)
        if (c == L'\r' || c == L'\n' || c == L'\t')
            c = L' ';
    errorText = VIRid::strings::TrimBlanks(errorText);
    if (!errorText.empty())
        reason.push_back(errorText);
    failureReason = VIRid::strings::Join(reason, L"; ");
}

RmanWrapper::Wait RmanWrapper::WaitForEvent(bool wakeOnPiece, unsigned limitMs) {
    const ULONGLONG startedAt = GetTickCount64();
    bool questionStanding = false;
    unsigned questionOutputCount = 0;
    ULONGLONG questionSince = 0;
    while (process->IsAlive()) {
        if (wakeOnPiece && piecesNamed)
            return Wait::Piece;
        if (promptSeen)
            return Wait::Prompt;
        if (limitMs > 0 && GetTickCount64() - startedAt >= limitMs)
            return Wait::Timeout;
        if (silenceLimitMinutes > 0) {
            const auto now = Activity();
            if (now != lastActivity) {
                lastActivity = now;
                silentSince = GetTickCount64();
            } else if (static_cast<double>(GetTickCount64() - silentSince) >=
                       silenceLimitMinutes * 60000.0) {
                AbandonSilence();
                return Wait::Ended;
            }
        }
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
                AbandonQuestion();
                return Wait::Ended;
            }
        } else {
            questionStanding = false;
        }
        DWORD pollMs = kPromptPollMs;
        if (limitMs > 0)
            pollMs = static_cast<DWORD>(std::min<ULONGLONG>(
                pollMs, limitMs - std::min<ULONGLONG>(limitMs, GetTickCount64() - startedAt)));
        WaitForSingleObject(outputEvent.get(), pollMs);
    }
    // Its last words reach the log (and the reason) before the failure is reported; a piece that
    // they name is complete, and is reported first.
    process->WaitForOutputEnd(kLastOutputMs);
    return wakeOnPiece && piecesNamed ? Wait::Piece : Wait::Ended;
}

void RmanWrapper::Ended(const std::wstring& text) {
    endText = text;
    lastError = text;
    ended = true;
}

void RmanWrapper::EndedUnasked(const std::wstring& text) {
    // A reader that failed ended it: the output it did not read is no reason.
    if (process->WorkerFailed())
        Ended(kOutputReadingFailed);
    else
        Ended(failureReason.empty() ? text : text + L": " + failureReason);
}

bool RmanWrapper::AbandonSilence() {
    commandFailed = true;
    droppingOutput = true;
    process->EndChild();
    Ended(FormatString(L"Recovery Manager wrote nothing for %g minutes and no file in the job "
                       L"folder grew (RmanTimeout); it was stopped",
                       silenceLimitMinutes));
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
    if (rman_output::IsContinuationPrompt(question))
        Ended(FormatString(
            L"RMAN waits for the rest of an unfinished command (prompt \"%s\"): the command "
            L"holds an unclosed quote or lacks its end; it was stopped",
            question.c_str()));
    else
        Ended(FormatString(L"RMAN asked for input (%s) instead of prompting; it was "
                           L"stopped, since nobody can answer",
                           question.c_str()));
    return false;
}

std::wstring RmanWrapper::GetErrorText() const {
    return lastError;
}

void RmanWrapper::Fail(const std::wstring& sentence) {
    const std::wstring& reason = ended ? endText : failureReason;
    lastError = reason.empty() ? sentence : sentence + L": " + reason;
}

std::wstring RmanWrapper::FailureReason() const {
    return failureReason;
}

std::vector<std::wstring> RmanWrapper::FailureLines() const {
    return failureLines;
}

void RmanWrapper::SetErrorText(const std::wstring& text) {
    lastError = text;
}

std::wstring RmanWrapper::TargetName() const {
    std::lock_guard<std::mutex> lock(reasonMutex);
    return targetName;
}

bool RmanWrapper::FailedWith(const wchar_t* code) const {
    return std::find(failureCodes.begin(), failureCodes.end(), code) != failureCodes.end();
}

std::wstring RmanWrapper::CommandOutput() const {
    std::lock_guard<std::mutex> lock(reasonMutex);
    return commandOutput;
}

std::wstring RmanWrapper::TargetDbid() const {
    std::lock_guard<std::mutex> lock(reasonMutex);
    return targetDbid;
}

rman_output::TargetState RmanWrapper::TargetState() const {
    std::lock_guard<std::mutex> lock(reasonMutex);
    return targetState;
}

void RmanWrapper::OnStdoutData(const char* text) {
    if (droppingOutput)
        return;
    const rman_output::OutputAssembler::Reading reading = output.Add(text);
    if (!reading.completeLines.empty()) {
        const std::vector<std::wstring> stack = rman_output::ErrorStackLines(reading.completeLines);
        const std::wstring dbid = rman_output::TargetDbid(reading.completeLines);
        const std::wstring name = rman_output::TargetName(reading.completeLines);
        const rman_output::TargetState state = rman_output::TargetStateOf(reading.completeLines);
        const std::vector<std::wstring> pieces = rman_output::NamedPieces(reading.completeLines);
        std::lock_guard<std::mutex> lock(reasonMutex);
        namedPieces.insert(namedPieces.end(), pieces.begin(), pieces.end());
        if (!pieces.empty())
            piecesNamed = true;
        commandOutput += reading.completeLines;
        errorLines.insert(errorLines.end(), stack.begin(), stack.end());
        if (!dbid.empty())
            targetDbid = dbid;
        if (!name.empty())
            targetName = name;
        if (state != rman_output::TargetState::Unknown)
            targetState = state;
    }
    // The failure and the command's output lines come before the prompt that ends the command,
    // so that the waiting thread sees them when it sees the prompt.
    if (reading.failed)
        commandFailed = true;
    EmitLines(reading.completeLines);
    questionSeen = reading.question;
    ++outputCount;
    if (reading.prompt)
        promptSeen = true;
    if (reading.prompt || piecesNamed)
        SetEvent(outputEvent.get());
}

void RmanWrapper::OnStderrData(const char* text) {
    if (droppingOutput)
        return;
    {
        std::lock_guard<std::mutex> lock(reasonMutex);
        stderrText += text;
    }
    commandFailed = true;
    ++errorCount;
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
