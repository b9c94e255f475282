#include "plugin/BackupFolder.h"

#include "rman/FolderFiles.h"

bool ReadBackupFolder(const OracleSettings& settings, BackupPieces& pieces, std::wstring& error) {
    const PieceNameTemplates templates = {settings.backupPieceFormat, settings.spFileFormat,
                                          settings.controlFileFormat, settings.archiveLogFormat};
    return ReadBackupPieces(ListFolderFiles(settings.tempFolder), templates, pieces, error);
}
