#include "rman/BackupListing.h"

#include "virid/Strings.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <functional>
#include <sstream>

namespace {

using VIRid::strings::ParseDecimal;

using Words = std::vector<std::wstring>;

Words WordsOf(const std::wstring& line) {
    Words words;
    std::wistringstream stream(line);
    std::wstring word;
    while (stream >> word)
        words.push_back(word);
    return words;
}

// Digits where pattern has '9', the same character elsewhere.
bool Shaped(const std::wstring& word, const wchar_t* pattern) {
    if (word.size() != std::wcslen(pattern))
        return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (pattern[i] == L'9' ? !std::iswdigit(word[i]) : word[i] != pattern[i])
            return false;
    return true;
}

// A date of YYYY-MM-DD HH24:MI:SS, given as its two words.
bool ReadDate(const Words& words, size_t at, std::wstring& date) {
    if (at + 1 >= words.size() || !Shaped(words[at], L"9999-99-99") ||
        !Shaped(words[at + 1], L"99:99:99"))
        return false;
    date = words[at] + L" " + words[at + 1];
    return true;
}

// Hands each row of every table whose header line starts with header to readRow, which is false
// for a row it cannot take.
bool ReadTables(const std::wstring& output, const std::wstring& header,
                const std::function<bool(const Words&)>& readRow, std::wstring& error) {
    enum class Place { Outside, Dashes, Rows } place = Place::Outside;
    std::wistringstream lines(output);
    std::wstring line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        const Words words = WordsOf(line);
        unsigned long long number = 0;
        if (place == Place::Rows && (words.empty() || !ParseDecimal(words[0], number)))
            place = Place::Outside;
        if (place == Place::Rows) {
            if (!readRow(words)) {
                error = L"Recovery Manager listed a row that is not understood: '" +
                        line.substr(line.find_first_not_of(L' ')) + L"'";
                return false;
            }
        } else if (place == Place::Dashes) {
            place = !words.empty() && words[0].find_first_not_of(L'-') == std::wstring::npos
                        ? Place::Rows
                        : Place::Outside;
        } else {
            const size_t start = line.find_first_not_of(L' ');
            if (start != std::wstring::npos && line.compare(start, header.size(), header) == 0)
                place = Place::Dashes;
        }
    }
    return true;
}

bool ReadLogRow(const Words& words, ThreadLogs& log) {
    if (words.size() != 8 || !ParseDecimal(words[0], log.thread) ||
        !ParseDecimal(words[1], log.firstSequence) || !ParseDecimal(words[2], log.lowScn) ||
        !ReadDate(words, 3, log.lowTime) || !ParseDecimal(words[5], log.nextScn) ||
        !ReadDate(words, 6, log.nextTime))
        return false;
    log.lastSequence = log.firstSequence;
    return true;
}

bool ReadDataFileRow(const Words& words, ListedDataFile& file) {
    unsigned long long level = 0;
    // The level is empty for a full backup; the backup type follows.
    const size_t type = words.size() > 1 && ParseDecimal(words[1], level) ? 2 : 1;
    return words.size() >= type + 4 && ParseDecimal(words[0], file.file) &&
           !ParseDecimal(words[type], level) && ParseDecimal(words[type + 1], file.checkpointScn) &&
           ReadDate(words, type + 2, file.checkpointTime);
}

// The rows of the tables under header, each read by readRow; rows is left as it was on failure.
template <typename Row>
bool ReadRows(const std::wstring& output, const std::wstring& header,
              bool (*readRow)(const Words&, Row&), std::vector<Row>& rows, std::wstring& error) {
    std::vector<Row> read;
    const auto take = [&read, readRow](const Words& words) {
        Row row;
        if (!readRow(words, row))
            return false;
        read.push_back(row);
        return true;
    };
    if (!ReadTables(output, header, take, error))
        return false;
    rows = read;
    return true;
}

} // namespace

bool ParseListedLogs(const std::wstring& output, std::vector<ThreadLogs>& logs,
                     std::wstring& error) {
    return ReadRows(output, L"Thrd Seq", ReadLogRow, logs, error);
}

bool ParseListedDataFiles(const std::wstring& output, std::vector<ListedDataFile>& files,
                          std::wstring& error) {
    return ReadRows(output, L"File LV Type Ckp SCN", ReadDataFileRow, files, error);
}

std::vector<ThreadLogs> LogsByThread(const std::vector<ThreadLogs>& logs) {
    std::vector<ThreadLogs> threads;
    for (const ThreadLogs& log : logs) {
        auto found = std::find_if(threads.begin(), threads.end(), [&log](const ThreadLogs& known) {
            return known.thread == log.thread;
        });
        if (found == threads.end()) {
            threads.push_back(log);
            continue;
        }
        found->firstSequence = std::min(found->firstSequence, log.firstSequence);
        found->lastSequence = std::max(found->lastSequence, log.lastSequence);
        found->lowScn = std::min(found->lowScn, log.lowScn);
        found->nextScn = std::max(found->nextScn, log.nextScn);
        // YYYY-MM-DD HH24:MI:SS orders as text.
        found->lowTime = std::min(found->lowTime, log.lowTime);
        found->nextTime = std::max(found->nextTime, log.nextTime);
    }
    std::sort(threads.begin(), threads.end(),
              [](const ThreadLogs& a, const ThreadLogs& b) { return a.thread < b.thread; });
    return threads;
}

unsigned long long DatafileBackupEnd(const std::vector<ListedDataFile>& files,
                                     const std::vector<ThreadLogs>& threads) {
    unsigned long long checkpoint = 0;
    for (const ListedDataFile& file : files)
        checkpoint = std::max(checkpoint, file.checkpointScn);
    unsigned long long end = 0;
    for (const ThreadLogs& thread : threads)
        if (checkpoint != 0 && thread.nextScn > checkpoint)
            end = end == 0 ? thread.nextScn : std::min(end, thread.nextScn);
    return end != 0 ? end : checkpoint;
}

bool ParseListedIncarnations(const std::wstring& output,
                             std::vector<ListedIncarnation>& incarnations, std::wstring& error) {
    incarnations.clear();
    return ReadTables(
        output, L"DB Key",
        [&incarnations](const Words& words) {
            ListedIncarnation incarnation;
            unsigned long long dbKey = 0;
            if (words.size() < 7 || !ParseDecimal(words[0], dbKey) ||
                !ParseDecimal(words[1], incarnation.key) ||
                !ParseDecimal(words[5], incarnation.resetScn))
                return false;
            incarnation.status = words[4];
            if (!ReadDate(words, 6, incarnation.resetTime))
                incarnation.resetTime.clear();
            incarnations.push_back(incarnation);
            return true;
        },
        error);
}
