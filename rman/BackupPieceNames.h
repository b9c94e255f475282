// Reading an unpacked backup folder by the names that Recovery Manager gave its pieces.
//
// The backup names every piece from a file-name template whose substitution variables carry the
// database's identity: %d database name, %I DBID, %T date YYYYMMDD, %U unique text (%u_%p_%c),
// with %u eight letters or digits, %p, %c, %s, %t, %h (thread) and %e (log sequence) numbers,
// and %% a percent sign. A name follows a template when its literal text matches (ASCII case
// ignored, as Windows names are) and every variable holds a value of its form.
#pragma once

#include "rman/BackupPieceChoice.h"
#include "rman/OracleSettings.h"

#include <string>
#include <vector>

struct PieceNameTemplates {
    std::wstring database;    // e.g. "%d-%I-%T-%U.bcp"
    std::wstring spFile;      // e.g. "%d-%I-%T-%U.spfile"
    std::wstring controlFile; // e.g. "%d-%I-%T-%U.controlfile"
    std::wstring archiveLog;  // e.g. "%h-%e-%d-%I-%T-%U.archlog"
};

// The templates with which a job's settings name the pieces.
PieceNameTemplates PieceNameTemplatesOf(const OracleSettings& settings);

struct BackupPieces {
    // Each list in ascending order of name.
    std::vector<FolderFile> database;
    std::vector<FolderFile> spFile;
    std::vector<FolderFile> controlFile;
    std::vector<FolderFile> archiveLog;
    std::vector<FolderFile> other; // follows no template: the configuration copies, the manifest
    std::wstring dbName;           // as the pieces spell it
    std::wstring dbid;             // decimal digits
    std::wstring date;             // YYYYMMDD, the earliest of the kind's own pieces
};

// Sorts the files of a backup folder by template and reads the database's name, DBID and date
// from the pieces that the kind must hold: database pieces for a full backup, archived-log
// pieces for an archived-log backup. False, with a fixed text naming the file concerned in
// error, when no file follows that template, when a file bears a template's extension (see
// TemplateExtension) without following that template, or when two pieces disagree on the
// database name or DBID. A template without %d or %I carries no identity and is not compared.
[[nodiscard]] bool ReadBackupPieces(const std::vector<FolderFile>& files,
                                    const PieceNameTemplates& templates, BackupPieces& pieces,
                                    std::wstring& error, BackupKind kind = BackupKind::Full);
