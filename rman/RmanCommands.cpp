#include "rman/RmanCommands.h"

#include "rman/RecoveryPoint.h"
#include "virid/FormatString.h"

#include <iterator>

namespace {

std::wstring InFolder(const OracleSettings& settings, const std::wstring& fileName) {
    return settings.tempFolder + L"\\" + fileName;
}

const wchar_t* BackupSetWord(const OracleSettings& settings) {
    return settings.useCompression ? L"as compressed backupset" : L"as backupset";
}

std::wstring ArchiveLogClause(const OracleSettings& settings) {
    if (!settings.backupArchiveLog)
        return std::wstring();
    return FormatString(L"plus archivelog tag '%s' format '%s'", settings.backupTag.c_str(),
                        InFolder(settings, settings.archiveLogFormat).c_str());
}

// The database backup of the job's tag into the folder, before its archived-log clause.
std::wstring DatabaseBackupSpec(const OracleSettings& settings) {
    return FormatString(L"backup %s database tag '%s' format '%s'", BackupSetWord(settings),
                        settings.backupTag.c_str(),
                        InFolder(settings, settings.backupPieceFormat).c_str());
}

// One line, so that Recovery Manager runs the block at once; maxpiecesize is an option of the
// channel, which the block allocates and releases.
std::wstring StreamDatabaseText(const OracleSettings& settings) {
    const std::wstring clause = ArchiveLogClause(settings);
    return FormatString(
        L"run { allocate channel c1 device type disk maxpiecesize %I64uM; %s%s%s; }\n",
        settings.pieceSizeMiB, DatabaseBackupSpec(settings).c_str(), clause.empty() ? L"" : L" ",
        clause.c_str());
}

std::wstring BackupDatabaseText(const OracleSettings& settings) {
    // Without the clause the blank before the semicolon stays.
    return DatabaseBackupSpec(settings) + L" " + ArchiveLogClause(settings) + L";\n";
}

std::wstring BackupArchivedLogsText(const OracleSettings& settings) {
    return FormatString(L"backup %s archivelog all tag '%s' format '%s';\n",
                        BackupSetWord(settings), settings.backupTag.c_str(),
                        InFolder(settings, settings.archiveLogFormat).c_str());
}

// What LIST BACKUP shows of the backup sets of the job's tag that hold what.
std::wstring ListBackupsText(const OracleSettings& settings, const wchar_t* what) {
    return FormatString(L"list backup of %s tag '%s';\n", what, settings.backupTag.c_str());
}

struct CommandEntry {
    RmanCommand command;
    const wchar_t* fixedText; // the whole text, when it has no variable part
    // piece: for the commands with a pieceTemplate, the chosen piece or the template itself.
    std::wstring (*buildText)(const OracleSettings& settings, const std::wstring& piece);
    std::wstring OracleSettings::*pieceTemplate; // the template of the piece restored from
    const wchar_t* failure;
};

// Each row names its command; they stand in the order of RmanCommand, which the checks below
// enforce.
constexpr CommandEntry kCommands[] = {
    {RmanCommand::ClearTapeChannel, L"CONFIGURE CHANNEL DEVICE TYPE 'SBT_TAPE' CLEAR;\n", nullptr,
     nullptr, nullptr},
    {RmanCommand::DiskAsDefaultDevice, L"CONFIGURE DEFAULT DEVICE TYPE TO DISK;\n", nullptr,
     nullptr, nullptr},
    {RmanCommand::CrosscheckBackups, L"crosscheck backup;\n", nullptr, nullptr, nullptr},
    {RmanCommand::DeleteTaggedBackups, nullptr,
     [](const OracleSettings& s, const std::wstring&) {
         return FormatString(L"delete noprompt backup tag '%s';\n", s.backupTag.c_str());
     },
     nullptr, L"Backup deletion failed"},
    {RmanCommand::ShutdownImmediate, L"shutdown immediate;\n", nullptr, nullptr,
     L"Base shutdown failed"},
    {RmanCommand::StartupMount, L"startup mount;\n", nullptr, nullptr, L"Base startup failed"},
    {RmanCommand::Startup, L"startup;\n", nullptr, nullptr, nullptr},
    {RmanCommand::StartupForceNomount, L"startup force nomount;\n", nullptr, nullptr,
     L"'startup force nomount' failed"},
    {RmanCommand::OpenDatabase, L"alter database open;\n", nullptr, nullptr,
     L"Alter database open failed"},
    {RmanCommand::OpenDatabaseResetLogs, L"alter database open resetlogs;\n", nullptr, nullptr,
     L"Can't open resetlogs"},
    {RmanCommand::BackupSpFileToFolder, nullptr,
     [](const OracleSettings& s, const std::wstring&) {
         return FormatString(L"backup spfile tag '%s' format '%s';\n", s.backupTag.c_str(),
                             InFolder(s, s.spFileFormat).c_str());
     },
     nullptr, L"Backup spfile failed"},
    {RmanCommand::BackupControlFileToFolder, nullptr,
     [](const OracleSettings& s, const std::wstring&) {
         return FormatString(L"backup current controlfile tag '%s' format '%s';\n",
                             s.backupTag.c_str(), InFolder(s, s.controlFileFormat).c_str());
     },
     nullptr, L"Backup controlfile failed"},
    {RmanCommand::BackupDatabaseToFolder, nullptr,
     [](const OracleSettings& s, const std::wstring&) { return BackupDatabaseText(s); }, nullptr,
     L"Backup database failed"},
    {RmanCommand::BackupArchivedLogsToFolder, nullptr,
     [](const OracleSettings& s, const std::wstring&) { return BackupArchivedLogsText(s); },
     nullptr, L"Backup archived logs failed"},
    {RmanCommand::StreamDatabaseToFolder, nullptr,
     [](const OracleSettings& s, const std::wstring&) { return StreamDatabaseText(s); }, nullptr,
     L"Backup database failed"},
    {RmanCommand::ReportSchema, L"report schema;\n", nullptr, nullptr, nullptr},
    {RmanCommand::ListDatabaseBackups, nullptr,
     [](const OracleSettings& s, const std::wstring&) { return ListBackupsText(s, L"database"); },
     nullptr, L"Can't list the data files of the backup"},
    {RmanCommand::ListArchivedLogBackups, nullptr,
     [](const OracleSettings& s, const std::wstring&) {
         return ListBackupsText(s, L"archivelog all");
     },
     nullptr, L"Can't list the archived logs of the backup"},
    {RmanCommand::ListIncarnations, L"list incarnation;\n", nullptr, nullptr,
     L"Can't list the database's incarnations"},
    {RmanCommand::CatalogTempFolder, nullptr,
     [](const OracleSettings& s, const std::wstring&) {
         return FormatString(L"CATALOG START WITH '%s' noprompt;\n", s.tempFolder.c_str());
     },
     nullptr, L"Can't add base to catalog"},
    {RmanCommand::RestoreDatabaseByTag, nullptr,
     [](const OracleSettings& s, const std::wstring&) {
         return FormatString(L"restore database from tag '%s';\n", s.backupTag.c_str());
     },
     nullptr, L"Can't restore database"},
    {RmanCommand::RestoreDatabase, L"restore database;\n", nullptr, nullptr,
     L"Can't restore database"},
    {RmanCommand::RestoreArchiveLogs, L"restore archivelog all;\n", nullptr, nullptr,
     L"Can't restore archivelog"},
    {RmanCommand::RecoverDatabase, nullptr,
     [](const OracleSettings& s, const std::wstring&) { return RecoverDatabaseText(s); }, nullptr,
     L"Can't recover database"},
    {RmanCommand::RecoverUntilFirstLog, L"recover database until logseq 0;\n", nullptr, nullptr,
     nullptr},
    {RmanCommand::SetDbid, nullptr,
     [](const OracleSettings& s, const std::wstring&) {
         return FormatString(L"set DBID %s;\n", s.dbid.c_str());
     },
     nullptr, L"Setting DB Id failed"},
    {RmanCommand::RestoreSpFile, nullptr,
     [](const OracleSettings& s, const std::wstring& piece) {
         return FormatString(L"restore spfile from '%s';\n", InFolder(s, piece).c_str());
     },
     &OracleSettings::spFileFormat, L"Restore spfile failed"},
    {RmanCommand::RestoreControlFile, nullptr,
     [](const OracleSettings& s, const std::wstring& piece) {
         return FormatString(L"restore controlfile from '%s';\n", InFolder(s, piece).c_str());
     },
     &OracleSettings::controlFileFormat, L"Restore controlfile failed"},
};

constexpr bool RowsStandInCommandOrder() {
    for (size_t i = 0; i < std::size(kCommands); ++i)
        if (kCommands[i].command != static_cast<RmanCommand>(i))
            return false;
    return true;
}
static_assert(std::size(kCommands) == static_cast<size_t>(RmanCommand::RestoreControlFile) + 1,
              "one row per command");
static_assert(RowsStandInCommandOrder(), "the rows stand in the order of RmanCommand");

const CommandEntry& Entry(RmanCommand command) {
    return kCommands[static_cast<size_t>(command)];
}

} // namespace

std::wstring RmanCommandText(RmanCommand command, const OracleSettings& settings,
                             const std::vector<FolderFile>& folderFiles) {
    const CommandEntry& entry = Entry(command);
    if (entry.fixedText != nullptr)
        return entry.fixedText;
    std::wstring piece;
    if (entry.pieceTemplate != nullptr) {
        const std::wstring& fileNameTemplate = settings.*entry.pieceTemplate;
        piece = NewestFileWithExtension(folderFiles, TemplateExtension(fileNameTemplate));
        if (piece.empty())
            piece = fileNameTemplate;
    }
    return entry.buildText(settings, piece);
}

std::wstring RmanCommandTextNaming(RmanCommand command, const OracleSettings& settings,
                                   const std::wstring& piece) {
    return Entry(command).buildText(settings, piece);
}

bool NamesBackupPiece(RmanCommand command) {
    return Entry(command).pieceTemplate != nullptr;
}

const wchar_t* RmanCommandFailure(RmanCommand command) {
    return Entry(command).failure;
}

std::wstring ConnectCommand(const OracleSettings& settings) {
    if (!settings.oracleSid.empty())
        return FormatString(L"connect target %s/%s\n", settings.userName.c_str(),
                            settings.password.c_str());
    return FormatString(L"connect target %s/%s@%s\n", settings.userName.c_str(),
                        settings.password.c_str(), settings.connectIdentifier.c_str());
}

std::wstring DeleteBackedUpLogsCommand(unsigned long long thread, unsigned long long first,
                                       unsigned long long last) {
    return FormatString(L"delete noprompt archivelog sequence between %I64u and %I64u thread %I64u "
                        L"backed up 1 times to device type disk;\n",
                        first, last, thread);
}

std::wstring HostCommandText(const std::wstring& commandLine) {
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
