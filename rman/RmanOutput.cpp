#include "rman/RmanOutput.h"

#include "virid/Strings.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <sstream>

namespace rman_output {

namespace {

const wchar_t kPrompt[] = L"RMAN>";
const wchar_t kFailureMarker[] = L"RMAN-00569:";
const wchar_t* const kFilteredMarkers[] = {L"Recovery Manager: ", L"Copyright ", L"RMAN> "};
const wchar_t* const kQuestions[] = {L"Password:", L"(enter YES or NO)?"};
const wchar_t kMask[] = L"********";

bool Contains(const std::wstring& text, const wchar_t* what) {
    return text.find(what) != std::wstring::npos;
}

// text without the blanks at its end. A carriage return stays: it is the start of a line end,
// so the line is no longer waiting for input.
std::wstring TrimEnd(const std::wstring& text) {
    const size_t last = text.find_last_not_of(L' ');
    return last == std::wstring::npos ? std::wstring() : text.substr(0, last + 1);
}

bool EndsWith(const std::wstring& text, const std::wstring& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

void SplitOutput(const std::wstring& text, std::wstring& completeLines, std::wstring& pendingLine) {
    const size_t lastFeed = text.rfind(L'\n');
    if (lastFeed == std::wstring::npos) {
        completeLines.clear();
        pendingLine = text;
        return;
    }
    completeLines = text.substr(0, lastFeed + 1);
    pendingLine = text.substr(lastFeed + 1);
}

bool IsPrompt(const std::wstring& pendingLine) {
    return EndsWith(TrimEnd(pendingLine), kPrompt);
}

bool HasFailureMarker(const std::wstring& completeLines) {
    return Contains(completeLines, kFailureMarker);
}

bool IsInputQuestion(const std::wstring& pendingLine) {
    const std::wstring trimmed = TrimEnd(pendingLine);
    for (const wchar_t* question : kQuestions)
        if (EndsWith(trimmed, question))
            return true;
    return false;
}

bool IsContinuationPrompt(const std::wstring& pendingLine) {
    // The prompt follows whatever the line held before ("RMAN> 2> " when the first line of the
    // statement was typed at the prompt).
    const std::wstring trimmed = TrimEnd(pendingLine);
    if (trimmed.empty() || trimmed.back() != L'>')
        return false;
    size_t digits = trimmed.size() - 1;
    while (digits > 0 && trimmed[digits - 1] >= L'0' && trimmed[digits - 1] <= L'9')
        --digits;
    return digits < trimmed.size() - 1 && (digits == 0 || trimmed[digits - 1] == L' ');
}

std::wstring MessageCode(const std::wstring& line) {
    const size_t start = std::min(line.size(), line.find_first_not_of(L" \t"));
    size_t letters = 0;
    while (start + letters < line.size() && line[start + letters] >= L'A' &&
           line[start + letters] <= L'Z')
        ++letters;
    const size_t colon = start + letters + 6;
    bool code = letters >= 2 && letters <= 5 && colon < line.size() &&
                line[start + letters] == L'-' && line[colon] == L':';
    for (size_t i = start + letters + 1; code && i < colon; ++i)
        code = line[i] >= L'0' && line[i] <= L'9';
    return code ? line.substr(start, colon - start) : std::wstring();
}

std::vector<std::wstring> ErrorStackLines(const std::wstring& lines) {
    std::vector<std::wstring> found;
    for (std::wstring line : VIRid::strings::SplitLines(lines)) {
        line.erase(0, std::min(line.size(), line.find_first_not_of(L" \t")));
        if (!MessageCode(line).empty() && !Contains(line, L"====="))
            found.push_back(line);
    }
    return found;
}

namespace {

const wchar_t kConnected[] = L"connected to target database";

// The text from at to the end of its line, without the line end and the blanks before it.
std::wstring RestOfLine(const std::wstring& text, size_t at) {
    const size_t feed = text.find(L'\n', at);
    std::wstring rest = text.substr(at, feed == std::wstring::npos ? feed : feed - at);
    if (!rest.empty() && rest.back() == L'\r')
        rest.pop_back();
    return TrimEnd(rest);
}

// In a connect's answer "connected to target database: NAME (DBID=n...", the digits of n and
// what follows them; false when line is no such answer.
bool SplitAtDbid(const std::wstring& line, std::wstring& dbid, std::wstring& after) {
    const wchar_t opening[] = L"(DBID=";
    const size_t answerAt = line.find(std::wstring(kConnected) + L": ");
    const size_t at = answerAt == std::wstring::npos ? answerAt : line.find(opening, answerAt);
    if (at == std::wstring::npos)
        return false;
    const size_t first = at + (sizeof(opening) / sizeof(opening[0]) - 1);
    size_t last = first;
    while (last < line.size() && line[last] >= L'0' && line[last] <= L'9')
        ++last;
    dbid = line.substr(first, last - first);
    after = RestOfLine(line, last);
    return !dbid.empty();
}

} // namespace

std::wstring TargetDbid(const std::wstring& line) {
    std::wstring dbid, after;
    if (!SplitAtDbid(line, dbid, after) || (after != L")" && after != L", not open)"))
        return std::wstring();
    return dbid;
}

std::wstring TargetName(const std::wstring& line) {
    const std::wstring opening = std::wstring(kConnected) + L": ";
    const size_t at = line.find(opening);
    if (at == std::wstring::npos)
        return std::wstring();
    const std::wstring rest = RestOfLine(line, at + opening.size());
    const size_t blank = rest.find(L" (");
    return blank == std::wstring::npos ? std::wstring() : rest.substr(0, blank);
}

bool RequestedArchivedLog(const std::vector<std::wstring>& stackLines, unsigned long long& thread,
                          unsigned long long& sequence) {
    const std::wstring threadWord = L" for thread ";
    const std::wstring sequenceWord = L" with sequence ";
    for (const std::wstring& line : stackLines) {
        if (MessageCode(line) != L"RMAN-06054")
            continue;
        const size_t threadAt = line.find(threadWord);
        const size_t sequenceAt = line.find(sequenceWord);
        if (threadAt == std::wstring::npos || sequenceAt == std::wstring::npos)
            continue;
        wchar_t* end = nullptr;
        thread = std::wcstoull(line.c_str() + threadAt + threadWord.size(), &end, 10);
        sequence = std::wcstoull(line.c_str() + sequenceAt + sequenceWord.size(), &end, 10);
        return thread != 0 && sequence != 0;
    }
    return false;
}

unsigned long long ReportedDataFileMegabytes(const std::wstring& output) {
    const size_t table = output.find(L"List of Permanent Datafiles");
    if (table == std::wstring::npos)
        return 0;
    const size_t rule = output.find(L"\n----", table);
    if (rule == std::wstring::npos)
        return 0;
    unsigned long long total = 0;
    size_t start = output.find(L'\n', rule + 1);
    while (start != std::wstring::npos && start + 1 < output.size()) {
        const size_t end = output.find(L'\n', start + 1);
        std::wistringstream row(output.substr(
            start + 1, end == std::wstring::npos ? std::wstring::npos : end - start - 1));
        unsigned long long file = 0;
        unsigned long long megabytes = 0;
        if (!(row >> file >> megabytes))
            break;
        total += megabytes;
        start = end;
    }
    return total;
}

std::vector<std::wstring> NamedPieces(const std::wstring& lines) {
    static const wchar_t kHandle[] = L"piece handle=";
    const size_t handleSize = sizeof(kHandle) / sizeof(kHandle[0]) - 1;
    std::vector<std::wstring> pieces;
    for (const std::wstring& line : VIRid::strings::SplitLines(lines)) {
        if (line.compare(0, handleSize, kHandle) != 0)
            continue;
        std::wstring handle =
            line.substr(handleSize, line.find(L" comment=", handleSize) - handleSize);
        const size_t tag = handle.rfind(L" tag=");
        if (tag != std::wstring::npos)
            handle.erase(tag);
        if (!handle.empty())
            pieces.push_back(handle);
    }
    return pieces;
}

TargetState TargetStateOf(const std::wstring& line) {
    const size_t at = line.find(kConnected);
    if (at == std::wstring::npos)
        return TargetState::Unknown;
    const std::wstring rest = RestOfLine(line, at + sizeof(kConnected) / sizeof(kConnected[0]) - 1);
    if (rest == L" (not started)")
        return TargetState::Down;
    if (rest.compare(0, 2, L": ") == 0 && EndsWith(rest, L" (not mounted)"))
        return TargetState::Started;
    std::wstring dbid, after;
    if (!SplitAtDbid(line, dbid, after))
        return TargetState::Unknown;
    if (after == L")")
        return TargetState::Open;
    return after == L", not open)" ? TargetState::Mounted : TargetState::Unknown;
}

bool PassesLineFilter(const std::wstring& line) {
    if (line.empty())
        return false;
    for (const wchar_t* marker : kFilteredMarkers)
        if (Contains(line, marker))
            return false;
    return true;
}

std::wstring MaskConnectPassword(const std::wstring& line) {
    const size_t start = line.find_first_not_of(L" \t");
    const std::wstring keyword = L"connect";
    if (start == std::wstring::npos || line.size() <= start + keyword.size())
        return line;
    for (size_t i = 0; i < keyword.size(); ++i)
        if (std::towlower(line[start + i]) != static_cast<wint_t>(keyword[i]))
            return line;
    if (!std::iswspace(line[start + keyword.size()]))
        return line;
    const size_t slash = line.find(L'/', start + keyword.size());
    if (slash == std::wstring::npos || slash + 1 == line.size())
        return line;
    return line.substr(0, slash + 1) + kMask;
}

std::vector<std::wstring> LoggedLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    for (const std::wstring& line : VIRid::strings::SplitLines(text))
        if (PassesLineFilter(line))
            lines.push_back(MaskConnectPassword(line));
    return lines;
}

size_t CompleteUtf8Length(const std::string& text) {
    // Look back over at most three continuation bytes for the lead byte of the last sequence.
    const size_t size = text.size();
    for (size_t back = 1; back <= 4 && back <= size; ++back) {
        const unsigned char byte = static_cast<unsigned char>(text[size - back]);
        if (VIRid::strings::IsUtf8Continuation(byte))
            continue;
        // 0 for a byte that leads no sequence: it counts as whole.
        const size_t needed = VIRid::strings::Utf8SequenceLength(byte);
        return needed > back ? size - back : size;
    }
    return size;
}

OutputAssembler::Reading OutputAssembler::Add(const std::string& chunk) {
    undecodedBytes += chunk;
    const size_t whole = CompleteUtf8Length(undecodedBytes);
    const std::wstring joined =
        pendingLine + VIRid::strings::UTF8toWstr(undecodedBytes.substr(0, whole));
    undecodedBytes.erase(0, whole);
    Reading reading;
    SplitOutput(joined, reading.completeLines, pendingLine);
    if (!reading.completeLines.empty())
        reportedPromptAt = std::wstring::npos; // a new line
    reading.failed = HasFailureMarker(reading.completeLines);
    if (IsPrompt(pendingLine)) {
        const size_t promptAt = pendingLine.rfind(kPrompt);
        reading.prompt = promptAt != reportedPromptAt;
        reportedPromptAt = promptAt;
    }
    reading.question = IsInputQuestion(pendingLine) || IsContinuationPrompt(pendingLine);
    return reading;
}

void OutputAssembler::Clear() {
    undecodedBytes.clear();
    pendingLine.clear();
    reportedPromptAt = std::wstring::npos;
}

} // namespace rman_output
