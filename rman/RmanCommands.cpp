#include "rman/RmanCommands.h"

#include "virid/FormatString.h"

namespace {

std::wstring InFolder(const OracleSettings& settings, const std::wstring& fileName) {
    return settings.tempFolder + L"\\" + fileName;
}

std::wstring PieceOrTemplate(const std::wstring& piece, const std::wstring& fileNameTemplate) {
    return piece.empty() ? fileNameTemplate : piece;
}

std::wstring BackupDatabaseText(const OracleSettings& settings) {
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

struct CommandEntry {
    const wchar_t* fixedText; // the whole text, when it has no variable part
    std::wstring (*buildText)(const OracleSettings& settings, const std::wstring& piece);
    const wchar_t* failure;
};

// In the order of RmanCommand.
const CommandEntry kCommands[] = {
    {L"CONFIGURE CHANNEL DEVICE TYPE 'SBT_TAPE' CLEAR;\n", nullptr, nullptr},
    {L"CONFIGURE DEFAULT DEVICE TYPE TO DISK;\n", nullptr, nullptr},
    {L"crosscheck backup;\n", nullptr, nullptr},
    {nullptr,
     [](const OracleSettings& s, const std::wstring&) {
         return FormatString(L"delete noprompt backup tag '%s';\n", s.backupTag.c_str());
     },
     L"Backup deletion failed"},
    {L"shutdown immediate;\n", nullptr, L"Base shutdown failed"},
    {L"startup mount;\n", nullptr, L"Base startup failed"},
    {L"startup;\n", nullptr, nullptr},
    {L"startup force nomount;\n", nullptr, L"'startup force nomount' failed"},
    {L"alter database open;\n", nullptr, L"Alter database open failed"},
    {L"alter database open resetlogs;\n", nullptr, L"Can't open resetlogs"},
    {nullptr,
     [](const OracleSettings& s, const std::wstring&) {
         return FormatString(L"backup spfile tag '%s' format '%s';\n", s.backupTag.c_str(),
                             InFolder(s, s.spFileFormat).c_str());
     },
     L"Backup spfile failed"},
    {nullptr,
     [](const OracleSettings& s, const std::wstring&) {
         return FormatString(L"backup current controlfile tag '%s' format '%s';\n",
                             s.backupTag.c_str(), InFolder(s, s.controlFileFormat).c_str());
     },
     L"Backup controlfile failed"},
    {nullptr, [](const OracleSettings& s, const std::wstring&) { return BackupDatabaseText(s); },
     L"Backup database failed"},
    {nullptr,
     [](const OracleSettings& s, const std::wstring&) {
         return FormatString(L"CATALOG START WITH '%s' noprompt;\n", s.tempFolder.c_str());
     },
     L"Can't add base to catalog"},
    {nullptr,
     [](const OracleSettings& s, const std::wstring&) {
         return FormatString(L"restore database from tag '%s';\n", s.backupTag.c_str());
     },
     L"Can't restore database"},
    {L"restore archivelog all;\n", nullptr, L"Can't restore archivelog"},
    {L"recover database;\n", nullptr, L"Can't recover database"},
    {L"recover database until logseq 0;\n", nullptr, nullptr},
    {nullptr,
     [](const OracleSettings& s, const std::wstring&) {
         return FormatString(L"set DBID %s;\n", s.dbid.c_str());
     },
     L"Setting DB Id failed"},
    {nullptr,
     [](const OracleSettings& s, const std::wstring& piece) {
         return FormatString(L"restore spfile from '%s';\n",
                             InFolder(s, PieceOrTemplate(piece, s.spFileFormat)).c_str());
     },
     L"Restore spfile failed"},
    {nullptr,
     [](const OracleSettings& s, const std::wstring& piece) {
         return FormatString(L"restore controlfile from '%s';\n",
                             InFolder(s, PieceOrTemplate(piece, s.controlFileFormat)).c_str());
     },
     L"Restore controlfile failed"},
};
static_assert(sizeof(kCommands) / sizeof(kCommands[0]) ==
                  static_cast<size_t>(RmanCommand::RestoreControlFile) + 1,
              "one entry per command");

const CommandEntry& Entry(RmanCommand command) {
    return kCommands[static_cast<size_t>(command)];
}

} // namespace

std::wstring RmanCommandText(RmanCommand command, const OracleSettings& settings,
                             const std::wstring& piece) {
    const CommandEntry& entry = Entry(command);
    return entry.fixedText ? entry.fixedText : entry.buildText(settings, piece);
}

const wchar_t* RmanCommandFailure(RmanCommand command) {
    return Entry(command).failure;
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
