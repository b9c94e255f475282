// LIST of backup sets and archived logs, and DELETE ARCHIVELOG: the archived logs on disk and
// the backups of the data files and logs as the repository records them.
#include "tools/rman/Session.h"

#include "tools/rman/Clock.h"
#include "tools/rman/Table.h"
#include "tools/simdb/Faults.h"
#include "tools/simdb/FileIo.h"
#include "tools/simdb/Redo.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

namespace rmansim {

using Kind = ListRequest::What;

namespace {

const size_t kScnWidth = 10;
const wchar_t kNoArchivedLog[] = L"specification does not match any archived log in the repository";
// What Recovery Manager says of a log that the deletion policy keeps.
const wchar_t kPolicyKeepsLog[] =
    L"RMAN-08138: warning: archived log not deleted - must create more backups";

// Dates take the width of the session's format, their header's at least.
size_t DateWidth(const std::wstring& header) {
    return std::max(header.size(), ShownNow().size());
}

// As LIST shows a piece's size: 4.50K, 143.22M, 1.05G.
std::wstring ShownSize(const std::wstring& path) {
    unsigned long long bytes = 0;
    simoracle::FileSize(path, bytes);
    double size = static_cast<double>(bytes);
    const wchar_t* unit = L"K";
    size /= 1024;
    if (size >= 1024) {
        size /= 1024;
        unit = L"M";
    }
    if (size >= 1024) {
        size /= 1024;
        unit = L"G";
    }
    wchar_t text[32];
    std::swprintf(text, 32, L"%.2f%ls", size, unit);
    return text;
}

// TAG [=] tag, when the next word is TAG; false when no tag follows it.
bool AcceptTag(TokenCursor& words, std::wstring& tag) {
    if (!words.Accept(L"tag"))
        return true;
    words.Accept(L"=");
    return words.AcceptAny(tag);
}

bool AcceptNumber(TokenCursor& words, unsigned long long& number) {
    std::wstring word;
    return words.AcceptAny(word) && ParseNumber(word, number);
}

// How many available backups the repository records of the log.
size_t BackupCount(const simoracle::ControlFile& controlFile, const simoracle::RedoLog& log) {
    size_t count = 0;
    for (const simoracle::PieceRecord& piece : controlFile.pieces)
        count += !piece.expired && std::any_of(piece.logs.begin(), piece.logs.end(),
                                               [&log](const simoracle::BackedUpLog& held) {
                                                   return held.thread == log.thread &&
                                                          held.sequence == log.sequence &&
                                                          held.lowScn == log.lowScn;
                                               });
    return count;
}

} // namespace

void Session::List(const ListRequest& request) {
    if (request.what == Kind::Incarnations) {
        ListIncarnations();
        return;
    }
    simoracle::ControlFile controlFile;
    if (!LoadRepository(controlFile, L"list"))
        return;
    if (request.what == Kind::ArchivedLogs) {
        ListArchivedLogs(controlFile);
        return;
    }
    std::vector<const simoracle::PieceRecord*> sets;
    for (const simoracle::PieceRecord& piece : controlFile.pieces) {
        const bool kind =
            request.what == Kind::Backups ||
            piece.HoldsKind(request.what == Kind::BackupsOfDatabase ? "datafile:" : "archivelog:");
        if (kind && (request.tag.empty() || Upper(piece.tag) == request.tag))
            sets.push_back(&piece);
    }
    if (sets.empty()) {
        out_.Line(L"specification does not match any backup in the repository");
        return;
    }
    if (request.what == Kind::Backups) {
        ListBackups(sets);
        return;
    }
    out_.Line(L"\nList of Backup Sets\n===================");
    for (const simoracle::PieceRecord* set : sets)
        PrintBackupSet(*set);
}

bool Session::ParseList(TokenCursor& words, Action& action) {
    ListRequest request;
    if (words.AcceptAll(L"archivelog all")) {
        request.what = Kind::ArchivedLogs;
    } else if (words.Accept(L"incarnation")) {
        request.what = Kind::Incarnations;
        words.AcceptAll(L"of database");
    } else if (words.Accept(L"backup") || words.Accept(L"backupset")) {
        if (words.AcceptAll(L"of database"))
            request.what = Kind::BackupsOfDatabase;
        else if (words.AcceptAll(L"of archivelog all"))
            request.what = Kind::BackupsOfArchivedLogs;
        if (!AcceptTag(words, request.tag))
            return false;
        request.tag = Upper(request.tag);
        words.Accept(L"summary");
    } else {
        return false;
    }
    action = [request](Session& session, const Statement&) { session.List(request); };
    return true;
}

// A set of archived logs or data files, as LIST BACKUP shows it.
void Session::PrintBackupSet(const simoracle::PieceRecord& set) {
    const bool logs = set.HoldsKind("archivelog:");
    std::vector<Column> columns = {{L"BS Key", 7},
                                   {L"Size", 10},
                                   {L"Device Type", 11},
                                   {L"Elapsed Time", 12},
                                   {L"Completion Time", DateWidth(L"Completion Time")}};
    std::vector<std::wstring> values = {std::to_wstring(set.key), ShownSize(set.handle), L"DISK",
                                        L"00:00:01", ShownDate(set.completed)};
    if (!logs) {
        columns.insert(columns.begin() + 1, {{L"Type", 4}, {L"LV", 2}});
        values.insert(values.begin() + 1, {L"Full", L""});
    }
    simoracle::PieceHeader header;
    std::wstring error;
    const bool compressed =
        simoracle::ReadPieceHeader(set.handle, header, error) && header.compressed;
    out_.Line(L"\n\n" + TableHeader(columns) + L"\n" + TableRow(columns, values, L""));
    out_.Line(L"        BP Key: " + Padded(std::to_wstring(set.key), 3) + L"Status: " +
              Padded(set.expired ? L"EXPIRED" : L"AVAILABLE", 10) + L"Compressed: " +
              Padded(compressed ? L"YES" : L"NO", 3) + L"Tag: " + set.tag);
    out_.Line(L"        Piece Name: " + set.handle);
    if (logs)
        PrintSetLogs(set);
    else
        PrintSetDataFiles(set);
}

void Session::PrintSetLogs(const simoracle::PieceRecord& set) {
    const std::vector<Column> columns = {{L"Thrd", 4},
                                         {L"Seq", 7},
                                         {L"Low SCN", kScnWidth},
                                         {L"Low Time", DateWidth(L"Low Time")},
                                         {L"Next SCN", kScnWidth},
                                         {L"Next Time", DateWidth(L"Next Time")}};
    out_.Line(L"\n  List of Archived Logs in backup set " + std::to_wstring(set.key));
    out_.Line(TableHeader(columns, L"  "));
    for (const simoracle::BackedUpLog& log : set.logs)
        out_.Line(TableRow(columns,
                           {std::to_wstring(log.thread), std::to_wstring(log.sequence),
                            std::to_wstring(log.lowScn), ShownDate(log.lowTime),
                            std::to_wstring(log.nextScn), ShownDate(log.nextTime)},
                           L"  "));
}

// The layout of release 12.2 and later, with the absolute fuzzy SCN (left empty, as for files
// that were not in backup mode) and whether the file is sparse.
void Session::PrintSetDataFiles(const simoracle::PieceRecord& set) {
    const std::vector<Column> columns = {{L"File", 4},
                                         {L"LV", 2},
                                         {L"Type", 4},
                                         {L"Ckp SCN", kScnWidth},
                                         {L"Ckp Time", DateWidth(L"Ckp Time")},
                                         {L"Abs Fuz SCN", 11},
                                         {L"Sparse", 6},
                                         {L"Name", 4}};
    out_.Line(L"  List of Datafiles in backup set " + std::to_wstring(set.key));
    out_.Line(TableHeader(columns, L"  "));
    for (const simoracle::BackedUpDataFile& dataFile : set.dataFiles) {
        std::wstring name;
        for (const simoracle::SimulatedDataFile& known : simoracle::SimulatedDataFiles())
            if (known.number == dataFile.number)
                name = files_.DataFile(known);
        out_.Line(TableRow(columns,
                           {std::to_wstring(dataFile.number), L"", L"Full",
                            std::to_wstring(dataFile.checkpointScn),
                            ShownDate(dataFile.checkpointTime), L"", L" NO", name},
                           L"  "));
    }
}

void Session::ListArchivedLogs(const simoracle::ControlFile& controlFile) {
    std::vector<simoracle::RedoLog> logs;
    for (unsigned sequence = 1; sequence < controlFile.currentSequence; ++sequence) {
        simoracle::RedoLog log;
        if (simoracle::ReadArchivedLog(files_, controlFile, controlFile.resetlogsId, sequence, log))
            logs.push_back(log);
    }
    if (logs.empty())
        out_.Line(kNoArchivedLog);
    else
        PrintArchivedLogCopies(controlFile, logs);
}

void Session::PrintArchivedLogCopies(const simoracle::ControlFile& controlFile,
                                     const std::vector<simoracle::RedoLog>& logs) {
    const std::vector<Column> columns = {
        {L"Key", 7}, {L"Thrd", 4}, {L"Seq", 7}, {L"S", 1}, {L"Low Time", DateWidth(L"Low Time")}};
    out_.Line(L"List of Archived Log Copies for database with db_unique_name " +
              controlFile.dbName + L"\n" + std::wstring(69, L'=') + L"\n");
    out_.Line(TableHeader(columns));
    for (const simoracle::RedoLog& log : logs) {
        out_.Line(TableRow(columns, {std::to_wstring(log.sequence), std::to_wstring(log.thread),
                                     std::to_wstring(log.sequence), L"A", ShownDate(log.lowTime)}));
        out_.Line(L"        Name: " + files_.ArchivedLog(log.resetlogsId, log.sequence));
        out_.Line(L"");
    }
}

bool Session::ParseArchivedLogDeletion(TokenCursor& words, ArchivedLogDeleteRequest& request) {
    if (words.Accept(L"sequence")) {
        if (words.Accept(L"between")) {
            if (!AcceptNumber(words, request.firstSequence) || !words.Accept(L"and") ||
                !AcceptNumber(words, request.lastSequence))
                return false;
        } else {
            words.Accept(L"=");
            if (!AcceptNumber(words, request.firstSequence))
                return false;
            request.lastSequence = request.firstSequence;
        }
    } else if (!words.Accept(L"all")) {
        return false;
    }
    if (words.Accept(L"thread")) {
        words.Accept(L"=");
        if (!AcceptNumber(words, request.thread))
            return false;
    }
    std::wstring device;
    return !words.AcceptAll(L"backed up") ||
           (AcceptNumber(words, request.backedUpTimes) && words.Accept(L"times") &&
            words.AcceptAll(L"to device type") && words.AcceptAny(device) &&
            Upper(device) == L"DISK");
}

// The logs on disk that the request names and that have the backups it asks for; without FORCE
// the deletion policy may keep them (the "refuse-delete" test fault stands for one).
void Session::DeleteArchivedLogs(const ArchivedLogDeleteRequest& request,
                                 const std::wstring& statement) {
    simoracle::ControlFile controlFile;
    if (!LoadRepository(controlFile, L"delete"))
        return;
    UseChannel();
    std::vector<simoracle::RedoLog> chosen;
    for (unsigned sequence = 1; sequence < controlFile.currentSequence; ++sequence) {
        simoracle::RedoLog log;
        if (sequence >= request.firstSequence && sequence <= request.lastSequence &&
            simoracle::ReadArchivedLog(files_, controlFile, controlFile.resetlogsId, sequence,
                                       log) &&
            (request.thread == 0 || log.thread == request.thread) &&
            BackupCount(controlFile, log) >= request.backedUpTimes)
            chosen.push_back(log);
    }
    if (chosen.empty()) {
        out_.Line(kNoArchivedLog);
        return;
    }
    const simoracle::FaultSet faults = simoracle::LoadFaults(files_);
    const simoracle::CommandFault* kept = request.force
                                              ? nullptr
                                              : faults.Find(simoracle::FaultKind::RefuseDelete,
                                                            simoracle::NormaliseCommand(statement));
    if (kept != nullptr) {
        for (const simoracle::RedoLog& log : chosen) {
            for (const std::wstring& line :
                 kept->text.empty() ? std::vector<std::wstring>{kPolicyKeepsLog} : kept->text)
                out_.Line(line);
            out_.Line(L"archived log file name=" +
                      files_.ArchivedLog(log.resetlogsId, log.sequence) + L" thread=" +
                      std::to_wstring(log.thread) + L" sequence=" + std::to_wstring(log.sequence));
        }
        return;
    }
    PrintArchivedLogCopies(controlFile, chosen);
    if (!request.noPrompt && !Confirmed(L"delete the above objects"))
        return;
    size_t deleted = 0;
    for (const simoracle::RedoLog& log : chosen) {
        const std::wstring path = files_.ArchivedLog(log.resetlogsId, log.sequence);
        if (!DeleteFileW(path.c_str()))
            continue;
        out_.Line(L"deleted archived log\narchived log file name=" + path + L" RECID=" +
                  std::to_wstring(log.sequence) + L" STAMP=" + std::to_wstring(Stamp()));
        ++deleted;
    }
    out_.Line(L"Deleted " + std::to_wstring(deleted) + L" objects");
}

} // namespace rmansim
