#include "rman/RmanCommandText.h"

#include "plugin/FormatString.h"

namespace RmanCommandText {

const wchar_t* const kCrosscheckBackups = L"crosscheck backup;\n";
const wchar_t* const kShutdownImmediate = L"shutdown immediate;\n";
const wchar_t* const kStartupMount = L"startup mount;\n";
const wchar_t* const kStartup = L"startup;\n";
const wchar_t* const kStartupForceNomount = L"startup force nomount;\n";
const wchar_t* const kOpenDatabase = L"alter database open;\n";
const wchar_t* const kOpenDatabaseResetLogs = L"alter database open resetlogs;\n";
const wchar_t* const kRestoreArchiveLogs = L"restore archivelog all;\n";
const wchar_t* const kRecoverDatabase = L"recover database;\n";
const wchar_t* const kRecoverUntilFirstLog = L"recover database until logseq 0;\n";
const wchar_t* const kClearTapeChannel = L"CONFIGURE CHANNEL DEVICE TYPE 'SBT_TAPE' CLEAR;\n";
const wchar_t* const kDiskAsDefaultDevice = L"CONFIGURE DEFAULT DEVICE TYPE TO DISK;\n";

namespace {

std::wstring InFolder(const OracleSettings& settings, const std::wstring& fileName) {
    return settings.tempFolder + L"\\" + fileName;
}

} // namespace

std::wstring DeleteTaggedBackups(const OracleSettings& settings) {
    return FormatString(L"delete noprompt backup tag '%s';\n", settings.backupTag.c_str());
}

std::wstring BackupSpFileToFolder(const OracleSettings& settings) {
    return FormatString(L"backup spfile tag '%s' format '%s';\n", settings.backupTag.c_str(),
                        InFolder(settings, settings.spFileFormat).c_str());
}

std::wstring BackupControlFileToFolder(const OracleSettings& settings) {
    return FormatString(L"backup current controlfile tag '%s' format '%s';\n",
                        settings.backupTag.c_str(),
                        InFolder(settings, settings.controlFileFormat).c_str());
}

std::wstring BackupDatabaseToFolder(const OracleSettings& settings) {
    std::wstring archiveLogClause;
    if (settings.backupArchiveLog)
        archiveLogClause =
            FormatString(L"plus archivelog tag '%s' format '%s'", settings.backupTag.c_str(),
                         InFolder(settings, settings.archiveLogFormat).c_str());
    const wchar_t* backupSet =
        settings.useCompression ? L"as compressed backupset" : L"as backupset";
    // Without the clause the blank before the semicolon stays.
    return FormatString(
        L"backup %s database tag '%s' format '%s' %s;\n", backupSet, settings.backupTag.c_str(),
        InFolder(settings, settings.backupPieceFormat).c_str(), archiveLogClause.c_str());
}

std::wstring CatalogTempFolder(const OracleSettings& settings) {
    return FormatString(L"CATALOG START WITH '%s' noprompt;\n", settings.tempFolder.c_str());
}

std::wstring RestoreDatabaseByTag(const OracleSettings& settings) {
    return FormatString(L"restore database from tag '%s';\n", settings.backupTag.c_str());
}

std::wstring SetDbid(const OracleSettings& settings) {
    return FormatString(L"set DBID %s;\n", settings.dbid.c_str());
}

std::wstring RestoreSpFile(const OracleSettings& settings, const std::wstring& pieceName) {
    const std::wstring& fileName = pieceName.empty() ? settings.spFileFormat : pieceName;
    return FormatString(L"restore spfile from '%s';\n", InFolder(settings, fileName).c_str());
}

std::wstring RestoreControlFile(const OracleSettings& settings, const std::wstring& pieceName) {
    const std::wstring& fileName = pieceName.empty() ? settings.controlFileFormat : pieceName;
    return FormatString(L"restore controlfile from '%s';\n", InFolder(settings, fileName).c_str());
}

std::wstring HostCommand(const std::wstring& commandLine) {
    return FormatString(L"host '%s';\n", commandLine.c_str());
}

std::wstring CopyFileCommandLine(const std::wstring& source, const std::wstring& destination) {
    return FormatString(L"copy /Y \"%s\" \"%s\"", source.c_str(), destination.c_str());
}

std::vector<std::wstring> ConfigurationFiles(const OracleSettings& settings) {
    const wchar_t* home = settings.oracleHome.c_str();
    return {FormatString(L"%s\\network\\ADMIN\\tnsnames.ora", home),
            FormatString(L"%s\\network\\ADMIN\\listener.ora", home),
            FormatString(L"%s\\network\\ADMIN\\sqlnet.ora", home),
            FormatString(L"%s\\database\\PWD%s.ora", home, settings.oracleSid.c_str())};
}

} // namespace RmanCommandText
