// The repository in the control file: CATALOG, CROSSCHECK, DELETE, LIST, REPORT and SHOW.
#include "tools/rman/Session.h"

#include "tools/rman/Clock.h"
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

std::wstring Padded(const std::wstring& text, size_t width) {
    return text.size() >= width ? text + L" " : text + std::wstring(width - text.size(), L' ');
}

} // namespace

bool Session::PieceAvailable(const simoracle::PieceRecord& piece) const {
    if (piece.expired)
        return false;
    simoracle::PieceHeader header;
    std::wstring error;
    return simoracle::ReadPieceHeader(piece.handle, header, error);
}

void Session::Catalog(TokenCursor& words) {
    const wchar_t verb[] = L"catalog";
    std::wstring pattern;
    if (!words.AcceptAll(L"start with") || !words.AcceptQuoted(pattern)) {
        SyntaxError(words.Peek().empty() ? L";" : words.Peek());
        return;
    }
    const bool noPrompt = words.Accept(L"noprompt");
    if (!words.AtEnd()) {
        SyntaxError(words.Peek());
        return;
    }
    simoracle::ControlFile controlFile;
    if (!LoadMountedControl(controlFile, verb, true))
        return;
    RepositoryNotice();
    out_.Line(L"searching for all files that match the pattern " + pattern);
    std::vector<simoracle::PieceRecord> found;
    std::vector<std::pair<std::wstring, std::wstring>> refused; // file, reason
    std::vector<std::wstring> unknown;
    for (const std::wstring& path : MatchingFiles(pattern)) {
        bool known = false;
        for (const simoracle::PieceRecord& piece : controlFile.pieces)
            known = known || (!piece.expired && SameHandle(piece.handle, path));
        if (known)
            continue;
        unknown.push_back(path);
        simoracle::PieceHeader header;
        std::vector<std::string> labels;
        std::wstring error;
        if (!simoracle::ScanPiece(path, header, labels, error)) {
            refused.emplace_back(path, L"RMAN-07517: Reason: The file header is corrupted");
            continue;
        }
        if (header.dbid != controlFile.dbid) {
            refused.emplace_back(path, L"RMAN-07518: Reason: Foreign database file DBID: " +
                                           std::to_wstring(header.dbid) + L"  Database Name: " +
                                           header.dbName);
            continue;
        }
        simoracle::PieceRecord record;
        record.handle = path;
        record.tag = header.tag;
        record.stamp = header.stamp;
        record.completed = CommandDate();
        record.contents = labels;
        found.push_back(record);
    }
    if (unknown.empty()) {
        out_.Line(L"\nno files found to be unknown to the database");
        return;
    }
    out_.Line(L"\nList of Files Unknown to the Database\n=====================================");
    for (const std::wstring& path : unknown)
        out_.Line(L"File Name: " + path);
    if (!noPrompt) {
        out_.Write(L"\nDo you really want to catalog the above files (enter YES or NO)? ");
        std::wstring answer;
        if (!reader_.Answer(answer) || Upper(answer) != L"YES") {
            out_.Line(L"\nno files cataloged");
            return;
        }
    }
    if (!found.empty()) {
        out_.Line(L"cataloging files...\ncataloging done");
        out_.Line(L"\nList of Cataloged Files\n=======================");
        for (simoracle::PieceRecord& record : found) {
            record.key = controlFile.nextKey++;
            controlFile.pieces.push_back(record);
            out_.Line(L"File Name: " + record.handle);
        }
    }
    if (!refused.empty()) {
        out_.Line(L"\nList of Files Which Were Not Cataloged\n"
                  L"=======================================");
        for (const auto& file : refused)
            out_.Line(L"File Name: " + file.first + L"\n  " + file.second);
    }
    SaveControl(controlFile, verb);
}

void Session::Crosscheck(TokenCursor& words) {
    const wchar_t verb[] = L"crosscheck";
    if (!(words.Accept(L"backup") || words.Accept(L"backupset")) || !words.AtEnd()) {
        SyntaxError(words.Peek().empty() ? L";" : words.Peek());
        return;
    }
    simoracle::ControlFile controlFile;
    if (!LoadMountedControl(controlFile, verb, true))
        return;
    RepositoryNotice();
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

void Session::Delete(TokenCursor& words) {
    const wchar_t verb[] = L"delete";
    const bool noPrompt = words.Accept(L"noprompt");
    const bool expiredOnly = words.Accept(L"expired");
    std::wstring tag;
    bool byTag = false;
    if (!(words.Accept(L"backup") || words.Accept(L"backupset"))) {
        SyntaxError(words.Peek().empty() ? L";" : words.Peek());
        return;
    }
    if (words.Accept(L"tag")) {
        byTag = words.AcceptQuoted(tag) || words.AcceptAny(tag);
        if (!byTag) {
            SyntaxError(L";");
            return;
        }
    }
    if (!words.AtEnd()) {
        SyntaxError(words.Peek());
        return;
    }
    simoracle::ControlFile controlFile;
    if (!LoadMountedControl(controlFile, verb, true))
        return;
    RepositoryNotice();
    UseChannel();
    std::vector<size_t> chosen;
    for (size_t i = 0; i < controlFile.pieces.size(); ++i) {
        const simoracle::PieceRecord& piece = controlFile.pieces[i];
        if ((!byTag || Upper(piece.tag) == Upper(tag)) && (!expiredOnly || piece.expired))
            chosen.push_back(i);
    }
    if (chosen.empty()) {
        out_.Line(L"specification does not match any backup in the repository");
        return;
    }
    out_.Line(L"\nList of Backup Pieces\n"
              L"BP Key  BS Key  Pc# Cp# Status      Device Type Piece Name\n"
              L"------- ------- --- --- ----------- ----------- ----------");
    for (size_t i : chosen) {
        const simoracle::PieceRecord& piece = controlFile.pieces[i];
        out_.Line(Padded(std::to_wstring(piece.key), 8) + Padded(std::to_wstring(piece.key), 8) +
                  L"1   1   " + Padded(piece.expired ? L"EXPIRED" : L"AVAILABLE", 12) +
                  L"DISK        " + piece.handle);
    }
    if (!noPrompt) {
        out_.Write(L"\nDo you really want to delete the above objects (enter YES or NO)? ");
        std::wstring answer;
        if (!reader_.Answer(answer) || Upper(answer) != L"YES")
            return;
    }
    std::vector<std::wstring> mismatched;
    std::vector<simoracle::PieceRecord> kept;
    size_t deleted = 0;
    for (size_t i = 0; i < controlFile.pieces.size(); ++i) {
        const simoracle::PieceRecord& piece = controlFile.pieces[i];
        if (std::find(chosen.begin(), chosen.end(), i) == chosen.end()) {
            kept.push_back(piece);
            continue;
        }
        // An AVAILABLE record whose file is gone is not deleted: a crosscheck must say so first.
        const bool removable = piece.expired || (simoracle::FileExists(piece.handle) &&
                                                 DeleteFileW(piece.handle.c_str()) != 0);
        if (!removable) {
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
    SaveControl(controlFile, verb);
}

void Session::List(TokenCursor& words) {
    const wchar_t verb[] = L"list";
    const bool backups = words.Accept(L"backup") || words.Accept(L"backupset");
    const bool logs = !backups && words.AcceptAll(L"archivelog all");
    if (backups)
        words.Accept(L"summary");
    if ((!backups && !logs) || !words.AtEnd()) {
        SyntaxError(words.Peek().empty() ? L";" : words.Peek());
        return;
    }
    simoracle::ControlFile controlFile;
    if (!LoadMountedControl(controlFile, verb, true))
        return;
    RepositoryNotice();
    if (logs) {
        bool any = false;
        for (unsigned sequence = 1; sequence < controlFile.currentSequence; ++sequence)
            if (simoracle::ArchivedLogOnDisk(files_, controlFile, controlFile.resetlogsId,
                                             sequence)) {
                if (!any)
                    out_.Line(L"List of Archived Log Copies for database with db_unique_name " +
                              controlFile.dbName +
                              L"\n================================="
                              L"====================================\n\nKey     Thrd Seq     S "
                              L"Name\n------- ---- ------- - ----");
                any = true;
                out_.Line(Padded(std::to_wstring(sequence), 8) + L"1    " +
                          Padded(std::to_wstring(sequence), 8) + L"A " +
                          files_.ArchivedLog(controlFile.resetlogsId, sequence));
            }
        if (!any)
            out_.Line(L"specification does not match any archived log in the repository");
        return;
    }
    if (controlFile.pieces.empty()) {
        out_.Line(L"specification does not match any backup in the repository");
        return;
    }
    out_.Line(L"\nList of Backups\n===============\n"
              L"Key     S Completion Time     Tag                  Contents    Piece Name\n"
              L"------- - ------------------- -------------------- ----------- ----------");
    for (const simoracle::PieceRecord& piece : controlFile.pieces) {
        std::wstring contents = piece.HoldsKind("datafile:")     ? L"DATAFILES"
                                : piece.HoldsKind("archivelog:") ? L"ARCHIVELOG"
                                : piece.Holds("controlfile")     ? L"CONTROLFILE"
                                                                 : L"SPFILE";
        out_.Line(Padded(std::to_wstring(piece.key), 8) + (piece.expired ? L"X " : L"A ") +
                  Padded(piece.completed, 20) + Padded(piece.tag, 21) + Padded(contents, 12) +
                  piece.handle);
    }
}

void Session::Report(TokenCursor& words) {
    if (!words.Accept(L"schema") || !words.AtEnd()) {
        SyntaxError(words.Peek().empty() ? L";" : words.Peek());
        return;
    }
    simoracle::ControlFile controlFile;
    if (!LoadMountedControl(controlFile, L"report", true))
        return;
    RepositoryNotice();
    out_.Line(L"Report of database schema for database with db_unique_name " + controlFile.dbName +
              L"\n\nList of Permanent Datafiles\n===========================\n"
              L"File Size(MB) Tablespace           RB segs Datafile Name\n"
              L"---- -------- -------------------- ------- ------------------------");
    for (const simoracle::DataFileSpec& dataFile : simoracle::DataFileSpecs()) {
        std::string bytes;
        simoracle::ReadFileBytes(files_.DataFile(dataFile), bytes);
        out_.Line(Padded(std::to_wstring(dataFile.number), 5) +
                  Padded(std::to_wstring(bytes.size() / (1024 * 1024)), 9) +
                  Padded(dataFile.tablespace, 21) + L"***     " + files_.DataFile(dataFile));
    }
}

void Session::Show(TokenCursor& words) {
    if (!words.Accept(L"all") || !words.AtEnd()) {
        SyntaxError(words.Peek().empty() ? L";" : words.Peek());
        return;
    }
    simoracle::ControlFile controlFile;
    if (!LoadMountedControl(controlFile, L"show", true))
        return;
    RepositoryNotice();
    out_.Line(L"RMAN configuration parameters for database with db_unique_name " +
              controlFile.dbName + L" are:");
    for (const std::wstring& setting : controlFile.configuration)
        out_.Line(setting);
    out_.Line(L"CONFIGURE CONTROLFILE AUTOBACKUP OFF; # default");
    out_.Line(L"CONFIGURE DEVICE TYPE DISK PARALLELISM 1 BACKUP TYPE TO BACKUPSET; # default");
}

} // namespace rmansim
