// Reading Recovery Manager's output and echoing its dialogue: where a chunk of output splits into
// whole lines and an unfinished one, what in it marks the prompt, a failed command or a question
// for input, which lines reach the log, with a connect command's password hidden. Pure
// functions.
#pragma once

#include <string>
#include <vector>

namespace rman_output {

// Splits text after its last line feed: completeLines gets everything up to and including it,
// pendingLine the rest. Without a line feed completeLines is empty and pendingLine all of text.
void SplitOutput(const std::wstring& text, std::wstring& completeLines, std::wstring& pendingLine);

// The unfinished line is Recovery Manager's prompt: it ends in "RMAN>" (blanks after it aside).
// Anything else after the prompt (the echo of a command being read, the carriage return of a
// line end) means that Recovery Manager has gone on.
bool IsPrompt(const std::wstring& pendingLine);

// The whole lines hold "RMAN-00569:", the opening of Recovery Manager's error stack.
bool HasFailureMarker(const std::wstring& completeLines);

// The unfinished line asks for input that no command can answer: it ends in "Password:" or in
// "(enter YES or NO)?" (blanks after it aside).
bool IsInputQuestion(const std::wstring& pendingLine);

// The unfinished line is Recovery Manager's continuation prompt: a line number and ">" (blanks
// after it aside), with which it asks for the rest of a statement that has not ended (no
// semicolon yet, or a quote left open).
bool IsContinuationPrompt(const std::wstring& pendingLine);

// The message code that line starts with (blanks before it aside): two to five capitals, "-" and
// five digits, followed by ":" ("ORA-19602" of "ORA-19602: cannot backup ..."); empty when it
// starts with none.
std::wstring MessageCode(const std::wstring& line);

// The lines of Recovery Manager's error stack among lines: each that starts with a message code
// ("RMAN-03002:", "ORA-19602:", "LRM-00109:"; blanks before it aside), without the banner lines
// of "=" signs and without carriage returns.
std::vector<std::wstring> ErrorStackLines(const std::wstring& lines);

// The DBID in a connect's answer "connected to target database: NAME (DBID=n)", or of a mounted
// target "(DBID=n, not open)"; empty when line is not such an answer.
std::wstring TargetDbid(const std::wstring& line);

// The database's name in a connect's answer "connected to target database: NAME (...)", also
// when not mounted ("NAME (not mounted)"); empty when line is no such answer.
std::wstring TargetName(const std::wstring& line);

// The thread and sequence that RMAN-06054 names ("media recovery requesting unknown archived log
// for thread 1 with sequence 57 and starting SCN of ..."), among the error stack's lines; false
// when none of them is that message.
bool RequestedArchivedLog(const std::vector<std::wstring>& stackLines, unsigned long long& thread,
                          unsigned long long& sequence);

// What a connect's answer says of the target: "connected to target database: NAME (DBID=n)" is
// open, "(DBID=n, not open)" mounted, "NAME (not mounted)" started, and "connected to target
// database (not started)" down. Unknown when line is no such answer.
enum class TargetState { Unknown, Down, Started, Mounted, Open };
TargetState TargetStateOf(const std::wstring& line);

// The pieces that lines name, in their order: each line that starts with "piece handle=" gives
// the path after it, cut at the last " tag=" before " comment=" (a tag may hold blanks, a comment
// commas); a handle without a tag (a control-file autobackup) runs to " comment=". Carriage
// returns are dropped.
std::vector<std::wstring> NamedPieces(const std::wstring& lines);

// The sum of the Size(MB) column of REPORT SCHEMA's "List of Permanent Datafiles"; 0 when
// output holds no such table.
unsigned long long ReportedDataFileMegabytes(const std::wstring& output);

// The line may be logged: it is not blank, and not a banner line ("Recovery Manager: ",
// "Copyright ") or a prompt line ("RMAN> ").
bool PassesLineFilter(const std::wstring& line);

// A connect command ("connect" and a blank, any case, leading blanks allowed) with everything
// after its first "/" replaced by "********"; any other line, and a connect without a password
// after the "/", unchanged.
std::wstring MaskConnectPassword(const std::wstring& line);

// The lines of text (split at line feeds only, carriage returns removed; a last piece without a
// line feed counts) that pass the line filter, each with a connect password masked.
std::vector<std::wstring> LoggedLines(const std::wstring& text);

// How many leading bytes of text form whole UTF-8 sequences: an incomplete sequence at the end
// (at most three bytes) is left for the next chunk to complete. Invalid bytes count as whole.
size_t CompleteUtf8Length(const std::string& text);

// Recovery Manager's standard output, taken chunk by chunk as it is read: whatever the chunking,
// the same lines come out whole and the same prompts, failures and questions are seen; each
// prompt is reported once.
class OutputAssembler {
public:
    struct Reading {
        std::wstring completeLines; // the lines this chunk completed, line feeds included
        bool failed = false;        // they hold the failure marker
        bool prompt = false;        // a new prompt: the unfinished line has become the prompt
        bool question = false;      // the unfinished line is now a question for input, or a
                                    // continuation prompt
    };

    // Takes the next chunk (UTF-8; a sequence may be split between chunks).
    Reading Add(const std::string& chunk);
    // The output after the last line feed, not yet ended by one.
    const std::wstring& PendingLine() const { return pendingLine; }
    void Clear();

private:
    std::string undecodedBytes; // the start of a UTF-8 sequence that the next chunk completes
    std::wstring pendingLine;
    // Where in pendingLine the prompt last reported stands: a chunk that only adds blanks to it
    // (Recovery Manager writes "RMAN>" and " " apart when its output is cut finely) is not a new
    // prompt, else it would end the command that is sent in between.
    size_t reportedPromptAt = std::wstring::npos;
};

} // namespace rman_output
