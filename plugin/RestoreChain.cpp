#include "plugin/RestoreChain.h"

#include "plugin/BackupFolder.h"
#include "plugin/JobPaths.h"
#include "virid/FormatString.h"

bool ReadRestoreStream(OracleSettings& settings, RestoreStream& stream, std::wstring& error) {
    std::wstring reason;
    const DescriptionFound found =
        ReadBackupDescription(settings.tempFolder, stream.description, reason);
    if (found == DescriptionFound::Unreadable) {
        error = FormatString(L"The backup stream's description cannot be read: %s; the database "
                             L"was not touched",
                             reason.c_str());
        return false;
    }
    stream.described = found == DescriptionFound::Yes;
    stream.kind = stream.described ? stream.description.kind : BackupKind::Full;
    // Checked before anything reaches Recovery Manager: a stream without a piece of its kind
    // would take the database down and restore nothing. The pieces name the backup's DBID, which
    // lets the restore refuse another database's backup and rebuild a lost parameter file.
    BackupPieces pieces;
    if (!ReadBackupFolder(settings, stream.kind, pieces, reason)) {
        error = FormatString(L"The backup stream holds no %s backup to restore: %s; the database "
                             L"was not touched",
                             stream.kind == BackupKind::Full ? L"database" : L"archived-log",
                             reason.c_str());
        return false;
    }
    settings.dbid = pieces.dbid;
    stream.dbName = pieces.dbName;
    settings.backupTag = stream.described && !stream.description.tag.empty()
                             ? stream.description.tag
                             : std::wstring(kSharedBackupTag);
    return true;
}
