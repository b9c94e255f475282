#include "rman/OracleSettings.h"

namespace {
const wchar_t kPieceBase[] = L"%d-%I-%T-%U";
const wchar_t kArchiveLogBase[] = L"%h-%e-%d-%I-%T-%U";
} // namespace

OracleSettings::OracleSettings()
    : onlineBackup(true), backupSPFile(true), backupControlFile(true), useCompression(false),
      backupArchiveLog(true), openAfterBackup(true),
      controlFileFormat(std::wstring(kPieceBase) + L".controlfile"),
      spFileFormat(std::wstring(kPieceBase) + L".spfile"),
      archiveLogFormat(std::wstring(kArchiveLogBase) + L".archlog"),
      backupPieceFormat(std::wstring(kPieceBase) + L".bcp"), backupTag(L"ZT_BACKUP_TAG"),
      backupKind(BackupKind::Full), deleteArchivedLogs(false) {}

std::wstring OracleSettings::GetRmanPath() const {
    return oracleHome + L"\\bin\\rman.exe";
}
