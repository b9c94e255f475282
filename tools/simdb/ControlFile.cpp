#include "tools/simdb/ControlFile.h"

#include "tools/simdb/Fields.h"
#include "tools/simdb/FileIo.h"
#include "virid/Strings.h"

#include <cstdlib>

namespace simoracle {

namespace {

const char kMagic[] = "SIMORA-CONTROLFILE-1";

// Piece fields are joined with '|'; handles and tags escape it, '%' and line ends.
std::string Escape(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '|' || c == '%' || c == '\n' || c == '\r') {
            static const char digits[] = "0123456789ABCDEF";
            escaped += '%';
            escaped += digits[(static_cast<unsigned char>(c) >> 4) & 15];
            escaped += digits[c & 15];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::string Unescape(const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            plain += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            plain += text[i];
        }
    }
    return plain;
}

std::wstring Wide(const std::string& text) {
    return VIRid::strings::UTF8toWstr(text);
}
std::string Narrow(const std::wstring& text) {
    return VIRid::strings::WstrToUTF8(text);
}

unsigned long long NumberOf(const std::string& text) {
    return std::strtoull(text.c_str(), nullptr, 10);
}

// Records of a piece's logs and data files: ';' between records, ',' between their fields
// (recorded moments hold neither).
std::string FormatLogs(const std::vector<BackedUpLog>& logs) {
    std::string text;
    for (const BackedUpLog& log : logs)
        text += (text.empty() ? "" : ";") + std::to_string(log.thread) + "," +
                std::to_string(log.sequence) + "," + std::to_string(log.lowScn) + "," +
                Narrow(log.lowTime) + "," + std::to_string(log.nextScn) + "," +
                Narrow(log.nextTime);
    return text;
}

std::string FormatDataFiles(const std::vector<BackedUpDataFile>& dataFiles) {
    std::string text;
    for (const BackedUpDataFile& dataFile : dataFiles)
        text += (text.empty() ? "" : ";") + std::to_string(dataFile.number) + "," +
                std::to_string(dataFile.checkpointScn) + "," + Narrow(dataFile.checkpointTime);
    return text;
}

// The records of text, each of fieldCount fields read into a record by read; false when one has
// another number of fields.
template <typename Record>
bool ParseRecords(const std::string& text, size_t fieldCount,
                  Record (*read)(const std::vector<std::string>& fields),
                  std::vector<Record>& records) {
    if (text.empty())
        return true;
    for (const std::string& record : SplitText(text, ';')) {
        const std::vector<std::string> fields = SplitText(record, ',');
        if (fields.size() != fieldCount)
            return false;
        records.push_back(read(fields));
    }
    return true;
}

BackedUpLog ReadLog(const std::vector<std::string>& fields) {
    return {static_cast<unsigned>(NumberOf(fields[0])),
            static_cast<unsigned>(NumberOf(fields[1])),
            NumberOf(fields[2]),
            Wide(fields[3]),
            NumberOf(fields[4]),
            Wide(fields[5])};
}

BackedUpDataFile ReadDataFile(const std::vector<std::string>& fields) {
    return {static_cast<unsigned>(NumberOf(fields[0])), NumberOf(fields[1]), Wide(fields[2])};
}

} // namespace

bool PieceRecord::Holds(const std::string& content) const {
    for (const std::string& held : contents)
        if (held == content)
            return true;
    return false;
}

bool PieceRecord::HoldsKind(const std::string& kindPrefix) const {
    for (const std::string& held : contents)
        if (held.compare(0, kindPrefix.size(), kindPrefix) == 0)
            return true;
    return false;
}

std::string ControlFile::Serialize() const {
    Fields fields;
    fields.Add("format", std::string(kMagic));
    fields.Add("db_name", dbName);
    fields.Add("dbid", dbid);
    fields.Add("log_mode", std::string(archiveLogMode ? "ARCHIVELOG" : "NOARCHIVELOG"));
    fields.Add("resetlogs_id", resetlogsId);
    fields.Add("scn", scn);
    fields.Add("current_sequence", currentSequence);
    fields.Add("current_low_scn", currentLowScn);
    fields.Add("current_low_time", currentLowTime);
    fields.Add("checkpoint_sequence", checkpointSequence);
    fields.Add("backup_controlfile", restoredFromBackup ? 1ULL : 0ULL);
    fields.Add("resetlogs_required", resetlogsRequired ? 1ULL : 0ULL);
    fields.Add("next_key", nextKey);
    for (const std::wstring& setting : configuration)
        fields.Add("configure", setting);
    for (const Incarnation& incarnation : incarnations)
        fields.Add("incarnation", std::to_string(incarnation.key) + "|" +
                                      std::to_string(incarnation.resetlogsId) + "|" +
                                      std::to_string(incarnation.resetScn) + "|" +
                                      Narrow(incarnation.resetTime));
    for (const PieceRecord& piece : pieces) {
        std::string contents;
        for (const std::string& content : piece.contents)
            contents += (contents.empty() ? "" : ",") + content;
        fields.Add("piece", std::to_string(piece.key) + "|" + (piece.expired ? "X" : "A") + "|" +
                                std::to_string(piece.stamp) + "|" + Narrow(piece.completed) + "|" +
                                contents + "|" + Escape(Narrow(piece.tag)) + "|" +
                                Escape(Narrow(piece.handle)) + "|" + FormatLogs(piece.logs) + "|" +
                                FormatDataFiles(piece.dataFiles));
    }
    return fields.FormatSealed();
}

bool ControlFile::Parse(const std::string& bytes, ControlFile& controlFile) {
    Fields fields;
    if (!Fields::ParseSealed(bytes, fields) || fields.Text("format") != kMagic)
        return false;
    ControlFile parsed;
    parsed.dbName = fields.Wide("db_name");
    parsed.dbid = fields.Number("dbid");
    parsed.archiveLogMode = fields.Text("log_mode") == "ARCHIVELOG";
    parsed.resetlogsId = static_cast<unsigned>(fields.Number("resetlogs_id"));
    parsed.scn = fields.Number("scn");
    parsed.currentSequence = static_cast<unsigned>(fields.Number("current_sequence"));
    parsed.currentLowScn = fields.Number("current_low_scn");
    parsed.currentLowTime = fields.Wide("current_low_time");
    parsed.checkpointSequence = static_cast<unsigned>(fields.Number("checkpoint_sequence"));
    parsed.restoredFromBackup = fields.Number("backup_controlfile") != 0;
    parsed.resetlogsRequired = fields.Number("resetlogs_required") != 0;
    parsed.nextKey = static_cast<unsigned>(fields.Number("next_key"));
    for (const std::string& setting : fields.All("configure"))
        parsed.configuration.push_back(Wide(setting));
    for (const std::string& line : fields.All("incarnation")) {
        const std::vector<std::string> parts = SplitText(line, '|');
        if (parts.size() != 4)
            return false;
        parsed.incarnations.push_back({static_cast<unsigned>(NumberOf(parts[0])),
                                       static_cast<unsigned>(NumberOf(parts[1])),
                                       NumberOf(parts[2]), Wide(parts[3])});
    }
    // A control file written before incarnations were recorded knows only its own.
    if (parsed.incarnations.empty())
        parsed.incarnations.push_back({1, parsed.resetlogsId, 1, std::wstring()});
    for (const std::string& line : fields.All("piece")) {
        const std::vector<std::string> parts = SplitText(line, '|');
        if (parts.size() != 9)
            return false;
        PieceRecord piece;
        piece.key = static_cast<unsigned>(std::strtoul(parts[0].c_str(), nullptr, 10));
        piece.expired = parts[1] == "X";
        piece.stamp = std::strtoull(parts[2].c_str(), nullptr, 10);
        piece.completed = Wide(parts[3]);
        if (!parts[4].empty())
            piece.contents = SplitText(parts[4], ',');
        piece.tag = Wide(Unescape(parts[5]));
        piece.handle = Wide(Unescape(parts[6]));
        if (!ParseRecords(parts[7], 6, ReadLog, piece.logs) ||
            !ParseRecords(parts[8], 3, ReadDataFile, piece.dataFiles))
            return false;
        parsed.pieces.push_back(piece);
    }
    controlFile = parsed;
    return true;
}

bool LoadControlFile(const std::wstring& path, ControlFile& controlFile) {
    std::string bytes;
    return ReadFileBytes(path, bytes) && ControlFile::Parse(bytes, controlFile);
}

bool SaveControlFile(const std::wstring& path, const ControlFile& controlFile) {
    return WriteFileBytes(path, controlFile.Serialize());
}

} // namespace simoracle
