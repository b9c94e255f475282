#include "rman/BackupPieceNames.h"

#include "virid/Strings.h"

#include <algorithm>

using VIRid::strings::AsciiLower;

namespace {

struct Token {
    wchar_t variable; // 0 for a literal character
    wchar_t literal;
};

// What a piece name says about its database; empty where its template has no such variable.
struct Identity {
    std::wstring dbName;
    std::wstring dbid;
    std::wstring date;
};

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

bool IsAlnum(wchar_t c) {
    return IsDigit(c) || (AsciiLower(c) >= L'a' && AsciiLower(c) <= L'z');
}

bool SameIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && EndsWithIgnoringCase(a, b);
}

std::vector<Token> Tokenize(const std::wstring& fileNameTemplate) {
    std::vector<Token> tokens;
    for (size_t i = 0; i < fileNameTemplate.size(); ++i) {
        const wchar_t c = fileNameTemplate[i];
        if (c != L'%' || i + 1 == fileNameTemplate.size()) {
            tokens.push_back({0, c});
            continue;
        }
        const wchar_t variable = fileNameTemplate[++i];
        if (variable == L'U') {
            tokens.insert(tokens.end(), {{L'u', 0}, {0, L'_'}, {L'p', 0}, {0, L'_'}, {L'c', 0}});
        } else if (std::wstring(L"dITupcsthe").find(variable) != std::wstring::npos) {
            tokens.push_back({variable, 0});
        } else if (variable == L'%') {
            tokens.push_back({0, L'%'});
        } else {
            // Recovery Manager knows no other variable; the text can only match literally.
            tokens.push_back({0, L'%'});
            tokens.push_back({0, variable});
        }
    }
    return tokens;
}

// The lengths a variable's value may have, and whether a character may be part of it.
void VariableForm(wchar_t variable, size_t& shortest, size_t& longest, bool (*&allowed)(wchar_t)) {
    switch (variable) {
    case L'd': // DB_NAME: up to eight letters, digits, "_", "$" or "#"
        shortest = 1, longest = 8;
        allowed = [](wchar_t c) { return IsAlnum(c) || c == L'_' || c == L'$' || c == L'#'; };
        return;
    case L'I': // a 32-bit number
        shortest = 1, longest = 10, allowed = IsDigit;
        return;
    case L'T':
        shortest = 8, longest = 8, allowed = IsDigit;
        return;
    case L'u':
        shortest = 8, longest = 8, allowed = IsAlnum;
        return;
    default:
        shortest = 1, longest = 20, allowed = IsDigit;
        return;
    }
}

bool IsDate(const std::wstring& digits) {
    const int month = (digits[4] - L'0') * 10 + (digits[5] - L'0');
    const int day = (digits[6] - L'0') * 10 + (digits[7] - L'0');
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

bool Match(const std::vector<Token>& tokens, size_t token, const std::wstring& name, size_t at,
           Identity& identity) {
    if (token == tokens.size())
        return at == name.size();
    const Token& current = tokens[token];
    if (current.variable == 0)
        return at < name.size() && AsciiLower(name[at]) == AsciiLower(current.literal) &&
               Match(tokens, token + 1, name, at + 1, identity);
    size_t shortest = 0;
    size_t longest = 0;
    bool (*allowed)(wchar_t) = nullptr;
    VariableForm(current.variable, shortest, longest, allowed);
    // Shortest first: each value ends where the template's next literal can begin.
    for (size_t length = 1; length <= longest && at + length <= name.size(); ++length) {
        if (!allowed(name[at + length - 1]))
            return false;
        if (length < shortest)
            continue;
        const std::wstring value = name.substr(at, length);
        if (current.variable == L'T' && !IsDate(value))
            return false;
        if (current.variable == L'd')
            identity.dbName = value;
        else if (current.variable == L'I')
            identity.dbid = value;
        else if (current.variable == L'T')
            identity.date = value;
        if (Match(tokens, token + 1, name, at + length, identity))
            return true;
    }
    return false;
}

bool Follows(const std::wstring& name, const std::wstring& fileNameTemplate, Identity& identity) {
    identity = Identity();
    return !fileNameTemplate.empty() && Match(Tokenize(fileNameTemplate), 0, name, 0, identity);
}

std::wstring Described(const Identity& identity, const std::wstring& file) {
    return L"'" + identity.dbName + L"' (DBID " + identity.dbid + L") in '" + file + L"'";
}

} // namespace

PieceNameTemplates PieceNameTemplatesOf(const OracleSettings& settings) {
    return {settings.backupPieceFormat, settings.spFileFormat, settings.controlFileFormat,
            settings.archiveLogFormat};
}

bool ReadBackupPieces(const std::vector<FolderFile>& files, const PieceNameTemplates& templates,
                      BackupPieces& pieces, std::wstring& error, BackupKind kind) {
    pieces = BackupPieces();
    struct Kind {
        const std::wstring& fileNameTemplate;
        std::vector<FolderFile>& list;
    };
    const Kind kinds[] = {{templates.database, pieces.database},
                          {templates.spFile, pieces.spFile},
                          {templates.controlFile, pieces.controlFile},
                          {templates.archiveLog, pieces.archiveLog}};
    std::vector<FolderFile> sorted = files;
    std::sort(sorted.begin(), sorted.end(),
              [](const FolderFile& a, const FolderFile& b) { return a.name < b.name; });

    struct Piece {
        const Kind* kind;
        Identity identity;
        std::wstring file;
    };
    std::vector<Piece> named; // every file that follows a template, in order of name
    for (const FolderFile& file : sorted) {
        Piece piece{nullptr, Identity(), file.name};
        for (const Kind& candidate : kinds) {
            if (Follows(file.name, candidate.fileNameTemplate, piece.identity)) {
                piece.kind = &candidate;
                break;
            }
        }
        if (piece.kind != nullptr) {
            piece.kind->list.push_back(file);
            named.push_back(piece);
            continue;
        }
        for (const Kind& candidate : kinds) {
            const std::wstring extension = TemplateExtension(candidate.fileNameTemplate);
            if (!extension.empty() && EndsWithIgnoringCase(file.name, extension)) {
                error = L"The backup holds a file that bears the extension of a backup piece but "
                        L"does not follow its template '" +
                        candidate.fileNameTemplate + L"': '" + file.name + L"'";
                return false;
            }
        }
        pieces.other.push_back(file);
    }
    const bool logs = kind == BackupKind::ArchivedLogs;
    const Kind* required = logs ? &kinds[3] : &kinds[0];
    const auto first = std::find_if(named.begin(), named.end(), [required](const Piece& piece) {
        return piece.kind == required;
    });
    if (first == named.end()) {
        error = std::wstring(logs ? L"The backup holds no archived-log piece"
                                  : L"The backup holds no database piece") +
                L", no file named like '" + required->fileNameTemplate + L"'";
        return false;
    }

    // The first piece of the kind speaks for the backup; every piece must agree with it.
    const Identity& backup = first->identity;
    for (const Piece& piece : named) {
        const Identity& identity = piece.identity;
        const bool sameName = identity.dbName.empty() || backup.dbName.empty() ||
                              SameIgnoringCase(identity.dbName, backup.dbName);
        const bool sameDbid =
            identity.dbid.empty() || backup.dbid.empty() || identity.dbid == backup.dbid;
        if (!sameName || !sameDbid) {
            error = L"The backup holds pieces of more than one database: " +
                    Described(backup, first->file) + L" and " + Described(identity, piece.file);
            return false;
        }
        if (piece.kind == required && (pieces.date.empty() || identity.date < pieces.date))
            pieces.date = identity.date;
    }
    pieces.dbName = backup.dbName;
    pieces.dbid = backup.dbid;
    return true;
}
