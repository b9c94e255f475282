#include "tools/simdb/Redo.h"

#include "tools/simdb/Fields.h"
#include "tools/simdb/FileIo.h"

namespace simoracle {

namespace {
const char kMagic[] = "SIMORA-REDO-1";
}

std::string FormatLog(const LogIdentity& log) {
    Fields fields;
    fields.Add("format", std::string(kMagic));
    fields.Add("dbid", log.dbid);
    fields.Add("resetlogs_id", log.resetlogsId);
    fields.Add("sequence", log.sequence);
    // Some weight, so that archived-log pieces are not empty.
    fields.Add("redo", std::string(4096, 'r'));
    return fields.FormatSealed();
}

bool ParseLog(const std::string& bytes, LogIdentity& log) {
    Fields fields;
    if (!Fields::ParseSealed(bytes, fields) || fields.Text("format") != kMagic)
        return false;
    log.dbid = fields.Number("dbid");
    log.resetlogsId = static_cast<unsigned>(fields.Number("resetlogs_id"));
    log.sequence = static_cast<unsigned>(fields.Number("sequence"));
    return true;
}

bool ArchivedLogOnDisk(const DatabaseFiles& files, const ControlFile& controlFile,
                       unsigned resetlogsId, unsigned sequence) {
    std::string bytes;
    LogIdentity log;
    return ReadFileBytes(files.ArchivedLog(resetlogsId, sequence), bytes) && ParseLog(bytes, log) &&
           log.dbid == controlFile.dbid && log.resetlogsId == resetlogsId &&
           log.sequence == sequence;
}

bool SwitchLog(const DatabaseFiles& files, ControlFile& controlFile) {
    if (controlFile.archiveLogMode) {
        LogIdentity log;
        log.dbid = controlFile.dbid;
        log.resetlogsId = controlFile.resetlogsId;
        log.sequence = controlFile.currentSequence;
        if (!CreateFolders(files.ArchiveFolder()) ||
            !WriteFileBytes(files.ArchivedLog(log.resetlogsId, log.sequence), FormatLog(log)))
            return false;
    }
    ++controlFile.currentSequence;
    return WriteOnlineLog(files, controlFile);
}

bool WriteOnlineLog(const DatabaseFiles& files, const ControlFile& controlFile) {
    LogIdentity log;
    log.dbid = controlFile.dbid;
    log.resetlogsId = controlFile.resetlogsId;
    log.sequence = controlFile.currentSequence;
    return WriteFileBytes(files.RedoLog(), FormatLog(log));
}

} // namespace simoracle
