#include "tools/simdb/Redo.h"

#include "tools/simdb/Clock.h"
#include "tools/simdb/Fields.h"
#include "tools/simdb/FileIo.h"
#include "tools/simdb/Sha256.h"
#include "virid/Strings.h"

#include <cstdlib>

namespace simoracle {

namespace {

const char kMagic[] = "SIMORA-REDO-2";

// "scn|time|file|offset|hex bytes"; a recorded moment holds no '|'.
std::string FormatChange(const RedoChange& change) {
    return std::to_string(change.scn) + "|" + VIRid::strings::WstrToUTF8(change.time) + "|" +
           std::to_string(change.fileNumber) + "|" + std::to_string(change.offset) + "|" +
           ToHex(change.bytes);
}

bool ParseChange(const std::string& text, RedoChange& change) {
    const std::vector<std::string> parts = SplitText(text, '|');
    if (parts.size() != 5 || parts[4].size() % 2 != 0)
        return false;
    change.scn = std::strtoull(parts[0].c_str(), nullptr, 10);
    change.time = VIRid::strings::UTF8toWstr(parts[1]);
    change.fileNumber = static_cast<unsigned>(std::strtoul(parts[2].c_str(), nullptr, 10));
    change.offset = std::strtoull(parts[3].c_str(), nullptr, 10);
    change.bytes.clear();
    for (size_t i = 0; i < parts[4].size(); i += 2)
        change.bytes += static_cast<char>(std::strtoul(parts[4].substr(i, 2).c_str(), nullptr, 16));
    return true;
}

RedoLog OnlineLogOf(const ControlFile& controlFile) {
    RedoLog log;
    log.dbid = controlFile.dbid;
    log.resetlogsId = controlFile.resetlogsId;
    log.sequence = controlFile.currentSequence;
    log.lowScn = controlFile.currentLowScn;
    log.lowTime = controlFile.currentLowTime;
    return log;
}

// The online log as on disk, or an empty one when the file is missing or is not the current
// log's (its changes are then lost, as with a damaged online log).
RedoLog ReadOnlineLog(const DatabaseFiles& files, const ControlFile& controlFile) {
    std::string bytes;
    RedoLog log;
    if (ReadFileBytes(files.RedoLog(), bytes) && ParseLog(bytes, log) &&
        log.dbid == controlFile.dbid && log.resetlogsId == controlFile.resetlogsId &&
        log.sequence == controlFile.currentSequence)
        return log;
    return OnlineLogOf(controlFile);
}

} // namespace

std::string FormatLog(const RedoLog& log) {
    Fields fields;
    fields.Add("format", std::string(kMagic));
    fields.Add("dbid", log.dbid);
    fields.Add("resetlogs_id", log.resetlogsId);
    fields.Add("thread", log.thread);
    fields.Add("sequence", log.sequence);
    fields.Add("low_scn", log.lowScn);
    fields.Add("low_time", log.lowTime);
    fields.Add("next_scn", log.nextScn);
    fields.Add("next_time", log.nextTime);
    for (const RedoChange& change : log.changes)
        fields.Add("change", FormatChange(change));
    // Some weight, so that archived-log pieces are not empty.
    fields.Add("redo", std::string(4096, 'r'));
    return fields.FormatSealed();
}

bool ParseLog(const std::string& bytes, RedoLog& log) {
    Fields fields;
    if (!Fields::ParseSealed(bytes, fields) || fields.Text("format") != kMagic)
        return false;
    RedoLog parsed;
    parsed.dbid = fields.Number("dbid");
    parsed.resetlogsId = static_cast<unsigned>(fields.Number("resetlogs_id"));
    parsed.thread = static_cast<unsigned>(fields.Number("thread"));
    parsed.sequence = static_cast<unsigned>(fields.Number("sequence"));
    parsed.lowScn = fields.Number("low_scn");
    parsed.lowTime = fields.Wide("low_time");
    parsed.nextScn = fields.Number("next_scn");
    parsed.nextTime = fields.Wide("next_time");
    for (const std::string& text : fields.All("change")) {
        RedoChange change;
        if (!ParseChange(text, change))
            return false;
        parsed.changes.push_back(change);
    }
    log = parsed;
    return true;
}

bool ReadArchivedLog(const DatabaseFiles& files, const ControlFile& controlFile,
                     unsigned resetlogsId, unsigned sequence, RedoLog& log) {
    std::string bytes;
    return ReadFileBytes(files.ArchivedLog(resetlogsId, sequence), bytes) && ParseLog(bytes, log) &&
           log.dbid == controlFile.dbid && log.resetlogsId == resetlogsId &&
           log.sequence == sequence;
}

bool ArchivedLogOnDisk(const DatabaseFiles& files, const ControlFile& controlFile,
                       unsigned resetlogsId, unsigned sequence) {
    RedoLog log;
    return ReadArchivedLog(files, controlFile, resetlogsId, sequence, log);
}

bool SwitchLog(const DatabaseFiles& files, ControlFile& controlFile) {
    RedoLog ended = ReadOnlineLog(files, controlFile);
    ended.nextScn = controlFile.NextScn();
    ended.nextTime = Timestamp();
    if (controlFile.archiveLogMode &&
        (!CreateFolders(files.ArchiveFolder()) ||
         !WriteFileBytes(files.ArchivedLog(ended.resetlogsId, ended.sequence), FormatLog(ended))))
        return false;
    ++controlFile.currentSequence;
    controlFile.currentLowScn = ended.nextScn;
    controlFile.currentLowTime = ended.nextTime;
    return WriteOnlineLog(files, controlFile);
}

bool WriteOnlineLog(const DatabaseFiles& files, const ControlFile& controlFile) {
    return WriteFileBytes(files.RedoLog(), FormatLog(OnlineLogOf(controlFile)));
}

bool RecordChange(const DatabaseFiles& files, const ControlFile& controlFile,
                  const RedoChange& change) {
    RedoLog online = ReadOnlineLog(files, controlFile);
    online.changes.push_back(change);
    return WriteFileBytes(files.RedoLog(), FormatLog(online));
}

} // namespace simoracle
