#include "plugin/BackupFolder.h"

#include "rman/FolderFiles.h"

bool ReadBackupFolder(const OracleSettings& settings, BackupKind kind, BackupPieces& pieces,
                      std::wstring& error) {
    return ReadBackupPieces(ListFolderFiles(settings.tempFolder), PieceNameTemplatesOf(settings),
                            pieces, error, kind);
}
