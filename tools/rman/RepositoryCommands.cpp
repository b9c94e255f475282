// The repository in the control file: CATALOG, CROSSCHECK, DELETE, LIST, REPORT and SHOW.
#include "tools/rman/Session.h"

#include "tools/rman/Clock.h"
#include "tools/rman/Table.h"
#include "tools/simdb/Clock.h"
#include "tools/simdb/DataFile.h"
#include "tools/simdb/FileIo.h"
#include "tools/simdb/Redo.h"

#include <windows.h>

#include <algorithm>

namespace rmansim {

namespace {

bool SameHandle(const std::wstring& a, const std::wstring& b) {
    return Upper(a) == Upper(b);
}

void CollectFiles(const std::wstring& folder, std::vector<std::wstring>& paths) {
    for (const std::wstring& name : simoracle::ListFolder(folder, false))
        paths.push_back(folder + L"\\" + name);
    for (const std::wstring& name : simoracle::ListFolder(folder, true))
        CollectFiles(folder + L"\\" + name, paths);
}

// Every file whose full path begins with the pattern, ignoring letter case, as CATALOG START
// WITH matches: a folder's name matches as a prefix too, and all under it is taken.
std::vector<std::wstring> MatchingFiles(const std::wstring& pattern) {
    std::vector<std::wstring> paths;
    const size_t slash = pattern.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"." : pattern.substr(0, slash);
    const std::wstring prefix =
        Upper(slash == std::wstring::npos ? pattern : pattern.substr(slash + 1));
    for (bool folders : {false, true})
        for (const std::wstring& name : simoracle::ListFolder(folder, folders)) {
            if (Upper(name).compare(0, prefix.size(), prefix) != 0)
                continue;
            if (folders)
                CollectFiles(folder + L"\\" + name, paths);
            else
                paths.push_back(folder + L"\\" + name);
        }
    std::sort(paths.begin(), paths.end());
    return paths;
}

// The set's files, every piece of it.
bool DeletePieceFiles(const std::wstring& handle) {
    bool deleted = true;
    for (const std::wstring& file : simoracle::PieceFiles(handle))
        deleted = DeleteFileW(file.c_str()) != 0 && deleted;
    return deleted;
}

} // namespace

bool Session::PieceAvailable(const simoracle::PieceRecord& piece) const {
    if (piece.expired)
        return false;
    simoracle::PieceHeader header;
    std::wstring error;
    return simoracle::ReadPieceHeader(piece.handle, header, error);
}

bool Session::Confirmed(const std::wstring& question) {
    out_.Write(L"\nDo you really want to " + question + L" (enter YES or NO)? ");
    std::wstring answer;
    return reader_.Answer(answer) && Upper(answer) == L"YES";
}

bool Session::ParseCatalog(TokenCursor& words, Action& action) {
    std::wstring pattern;
    if (!words.AcceptAll(L"start with") || !words.AcceptQuoted(pattern))
        return false;
    const bool noPrompt = words.Accept(L"noprompt");
    action = [pattern, noPrompt](Session& session, const Statement&) {
        session.Catalog(pattern, noPrompt);
    };
    return true;
}

// The files under the pattern that the repository does not know, and of those the pieces of
// this database and the files refused with their reasons.
struct Session::CatalogScan {
    std::vector<std::wstring> unknown;
    std::vector<simoracle::PieceRecord> found;
    std::vector<std::pair<std::wstring, std::wstring>> refused; // file, reason
};

Session::CatalogScan Session::ScanForCatalog(const simoracle::ControlFile& controlFile,
                                             const std::wstring& pattern) const {
    CatalogScan scan;
    for (const std::wstring& path : MatchingFiles(pattern)) {
        bool known = false;
        for (const simoracle::PieceRecord& piece : controlFile.pieces)
            known = known || (!piece.expired && SameHandle(piece.handle, path));
        // A later piece of a set is catalogued with the set's first piece.
        if (known || simoracle::IsLaterPiece(path))
            continue;
        scan.unknown.push_back(path);
        simoracle::PieceHeader header;
        simoracle::PieceRecord record;
        std::wstring error;
        if (!simoracle::ScanPiece(path, header, record.contents, error)) {
            scan.refused.emplace_back(path, L"RMAN-07517: Reason: The file header is corrupted");
        } else if (header.dbid != controlFile.dbid) {
            scan.refused.emplace_back(path, L"RMAN-07518: Reason: Foreign database file DBID: " +
                                                std::to_wstring(header.dbid) +
                                                L"  Database Name: " + header.dbName);
        } else {
            record.handle = path;
            record.tag = header.tag;
            record.stamp = header.stamp;
            record.completed = simoracle::Timestamp();
            scan.found.push_back(record);
        }
    }
    return scan;
}

void Session::Catalog(const std::wstring& pattern, bool noPrompt) {
    simoracle::ControlFile controlFile;
    if (!LoadRepository(controlFile, L"catalog"))
        return;
    out_.Line(L"searching for all files that match the pattern " + pattern);
    CatalogScan scan = ScanForCatalog(controlFile, pattern);
    if (scan.unknown.empty()) {
        out_.Line(L"\nno files found to be unknown to the database");
        return;
    }
    out_.Line(L"\nList of Files Unknown to the Database\n=====================================");
    for (const std::wstring& path : scan.unknown)
        out_.Line(L"File Name: " + path);
    if (!noPrompt && !Confirmed(L"catalog the above files")) {
        out_.Line(L"\nno files cataloged");
        return;
    }
    CatalogFound(controlFile, scan);
}

void Session::CatalogFound(simoracle::ControlFile& controlFile, CatalogScan& scan) {
    if (!scan.found.empty()) {
        out_.Line(L"cataloging files...\ncataloging done");
        out_.Line(L"\nList of Cataloged Files\n=======================");
        for (simoracle::PieceRecord& record : scan.found) {
            record.key = controlFile.nextKey++;
            controlFile.pieces.push_back(record);
            out_.Line(L"File Name: " + record.handle);
        }
    }
    if (!scan.refused.empty()) {
        out_.Line(L"\nList of Files Which Were Not Cataloged\n"
                  L"=======================================");
        for (const auto& file : scan.refused)
            out_.Line(L"File Name: " + file.first + L"\n  " + file.second);
    }
    SaveControl(controlFile, L"catalog");
}

bool Session::ParseCrosscheck(TokenCursor& words, Action& action) {
    if (!words.Accept(L"backup") && !words.Accept(L"backupset"))
        return false;
    action = [](Session& session, const Statement&) { session.Crosscheck(); };
    return true;
}

void Session::Crosscheck() {
    const wchar_t verb[] = L"crosscheck";
    simoracle::ControlFile controlFile;
    if (!LoadRepository(controlFile, verb))
        return;
    UseChannel();
    if (controlFile.pieces.empty()) {
        out_.Line(L"specification does not match any backup in the repository");
        return;
    }
    for (simoracle::PieceRecord& piece : controlFile.pieces) {
        piece.expired = false;
        piece.expired = !PieceAvailable(piece);
        out_.Line(std::wstring(L"crosschecked backup piece: found to be '") +
                  (piece.expired ? L"EXPIRED" : L"AVAILABLE") + L"'");
        out_.Line(L"backup piece handle=" + piece.handle + L" RECID=" + std::to_wstring(piece.key) +
                  L" STAMP=" + std::to_wstring(piece.stamp));
    }
    out_.Line(L"Crosschecked " + std::to_wstring(controlFile.pieces.size()) + L" objects");
    SaveControl(controlFile, verb);
}

bool Session::ParseDelete(TokenCursor& words, Action& action) {
    DeleteRequest request;
    const bool force = words.Accept(L"force");
    request.noPrompt = words.Accept(L"noprompt");
    if (words.Accept(L"archivelog")) {
        ArchivedLogDeleteRequest logs;
        logs.force = force;
        logs.noPrompt = request.noPrompt;
        if (!ParseArchivedLogDeletion(words, logs))
            return false;
        action = [logs](Session& session, const Statement& statement) {
            session.DeleteArchivedLogs(logs, statement.text);
        };
        return true;
    }
    request.expiredOnly = words.Accept(L"expired");
    if (!words.Accept(L"backup") && !words.Accept(L"backupset"))
        return false;
    if (words.Accept(L"tag")) {
        request.byTag = words.AcceptAny(request.tag);
        if (!request.byTag)
            return false;
    }
    action = [request](Session& session, const Statement&) { session.Delete(request); };
    return true;
}

void Session::Delete(const DeleteRequest& request) {
    simoracle::ControlFile controlFile;
    if (!LoadRepository(controlFile, L"delete"))
        return;
    UseChannel();
    std::vector<size_t> chosen;
    for (size_t i = 0; i < controlFile.pieces.size(); ++i) {
        const simoracle::PieceRecord& piece = controlFile.pieces[i];
        if ((!request.byTag || Upper(piece.tag) == Upper(request.tag)) &&
            (!request.expiredOnly || piece.expired))
            chosen.push_back(i);
    }
    if (chosen.empty()) {
        out_.Line(L"specification does not match any backup in the repository");
        return;
    }
    PrintPieceList(controlFile, chosen);
    if (request.noPrompt || Confirmed(L"delete the above objects"))
        DeletePieces(controlFile, chosen);
}

void Session::PrintPieceList(const simoracle::ControlFile& controlFile,
                             const std::vector<size_t>& chosen) {
    out_.Line(L"\nList of Backup Pieces\n"
              L"BP Key  BS Key  Pc# Cp# Status      Device Type Piece Name\n"
              L"------- ------- --- --- ----------- ----------- ----------");
    for (size_t i : chosen) {
        const simoracle::PieceRecord& piece = controlFile.pieces[i];
        out_.Line(Padded(std::to_wstring(piece.key), 7) + Padded(std::to_wstring(piece.key), 7) +
                  L"1   1   " + Padded(piece.expired ? L"EXPIRED" : L"AVAILABLE", 11) +
                  L"DISK        " + piece.handle);
    }
}

// An AVAILABLE record whose file is gone is not deleted: a crosscheck must say so first.
void Session::DeletePieces(simoracle::ControlFile& controlFile, const std::vector<size_t>& chosen) {
    std::vector<std::wstring> mismatched;
    std::vector<simoracle::PieceRecord> kept;
    size_t deleted = 0;
    for (size_t i = 0; i < controlFile.pieces.size(); ++i) {
        const simoracle::PieceRecord& piece = controlFile.pieces[i];
        const bool isChosen = std::find(chosen.begin(), chosen.end(), i) != chosen.end();
        const bool removed = isChosen && (piece.expired || (simoracle::FileExists(piece.handle) &&
                                                            DeletePieceFiles(piece.handle)));
        if (!removed) {
            if (isChosen)
                mismatched.push_back(piece.handle);
            kept.push_back(piece);
            continue;
        }
        out_.Line(L"deleted backup piece\nbackup piece handle=" + piece.handle + L" RECID=" +
                  std::to_wstring(piece.key) + L" STAMP=" + std::to_wstring(piece.stamp));
        ++deleted;
    }
    controlFile.pieces = kept;
    out_.Line(L"Deleted " + std::to_wstring(deleted) + L" objects");
    if (!mismatched.empty()) {
        out_.Line(
            L"\n\nRMAN-06207: WARNING: " + std::to_wstring(mismatched.size()) +
            L" objects could not be deleted for DISK channel(s) due\n"
            L"RMAN-06208:          to mismatched status.  Use CROSSCHECK command to fix "
            L"status\nRMAN-06210: List of Mismatched objects\n"
            L"RMAN-06211: ==========================\n"
            L"RMAN-06212:   Object Type   Filename/Handle\n"
            L"RMAN-06213: --------------- ---------------------------------------------------");
        for (const std::wstring& handle : mismatched)
            out_.Line(L"RMAN-06214: Backup Piece    " + handle);
    }
    SaveControl(controlFile, L"delete");
}

void Session::ListBackups(const std::vector<const simoracle::PieceRecord*>& pieces) {
    out_.Line(L"\nList of Backups\n===============\n"
              L"Key     S Completion Time     Tag                  Contents    Piece Name\n"
              L"------- - ------------------- -------------------- ----------- ----------");
    for (const simoracle::PieceRecord* piece : pieces) {
        std::wstring contents = piece->HoldsKind("datafile:")     ? L"DATAFILES"
                                : piece->HoldsKind("archivelog:") ? L"ARCHIVELOG"
                                : piece->Holds("controlfile")     ? L"CONTROLFILE"
                                                                  : L"SPFILE";
        out_.Line(Padded(std::to_wstring(piece->key), 7) + (piece->expired ? L"X " : L"A ") +
                  Padded(ShownDate(piece->completed), 19) + Padded(piece->tag, 20) +
                  Padded(contents, 11) + piece->handle);
    }
}

bool Session::ParseReport(TokenCursor& words, Action& action) {
    if (!words.Accept(L"schema"))
        return false;
    action = [](Session& session, const Statement&) { session.Report(); };
    return true;
}

void Session::Report() {
    simoracle::ControlFile controlFile;
    if (!LoadRepository(controlFile, L"report"))
        return;
    out_.Line(L"Report of database schema for database with db_unique_name " + controlFile.dbName +
              L"\n\nList of Permanent Datafiles\n===========================\n"
              L"File Size(MB) Tablespace           RB segs Datafile Name\n"
              L"---- -------- -------------------- ------- ------------------------");
    for (const simoracle::SimulatedDataFile& dataFile : simoracle::SimulatedDataFiles()) {
        unsigned long long bytes = 0;
        simoracle::FileSize(files_.DataFile(dataFile), bytes);
        out_.Line(Padded(std::to_wstring(dataFile.number), 4) +
                  Padded(std::to_wstring((bytes + 1048575) / 1048576), 8) +
                  Padded(dataFile.tablespace, 20) + L"***     " + files_.DataFile(dataFile));
    }
}

bool Session::ParseShow(TokenCursor& words, Action& action) {
    if (!words.Accept(L"all"))
        return false;
    action = [](Session& session, const Statement&) { session.Show(); };
    return true;
}

void Session::Show() {
    simoracle::ControlFile controlFile;
    if (!LoadRepository(controlFile, L"show"))
        return;
    out_.Line(L"RMAN configuration parameters for database with db_unique_name " +
              controlFile.dbName + L" are:");
    for (const std::wstring& setting : controlFile.configuration)
        out_.Line(setting);
    out_.Line(L"CONFIGURE CONTROLFILE AUTOBACKUP OFF; # default");
    out_.Line(L"CONFIGURE DEVICE TYPE DISK PARALLELISM 1 BACKUP TYPE TO BACKUPSET; # default");
}

} // namespace rmansim
