// BACKUP: database (with the current control file and server parameter file, and optionally
// the archived logs before and after it), server parameter file, control file, archived logs.
#include "tools/rman/Session.h"

#include "tools/rman/Clock.h"
#include "tools/simdb/Clock.h"
#include "tools/simdb/DataFile.h"
#include "tools/simdb/FileIo.h"
#include "tools/simdb/Instance.h"
#include "tools/simdb/PieceNames.h"
#include "tools/simdb/Redo.h"

#include <windows.h>

namespace rmansim {

using simoracle::DatabaseState;
using What = BackupRequest::What;

namespace {

const wchar_t kVerb[] = L"backup";

simoracle::PieceHeader HeaderOf(const simoracle::ControlFile& controlFile, const std::wstring& tag,
                                unsigned long long stamp, bool compressed) {
    simoracle::PieceHeader header;
    header.dbName = controlFile.dbName;
    header.dbid = controlFile.dbid;
    header.resetlogsId = controlFile.resetlogsId;
    header.tag = tag;
    header.stamp = stamp;
    header.compressed = compressed;
    return header;
}

std::wstring PieceHandle(const simoracle::ControlFile& controlFile, const std::wstring& format,
                         unsigned setKey, unsigned long long stamp, unsigned lowestSequence,
                         unsigned pieceNumber) {
    simoracle::PieceNameValues values;
    values.pieceNumber = pieceNumber;
    values.dbName = controlFile.dbName;
    values.dbid = controlFile.dbid;
    values.setKey = setKey;
    values.stamp = stamp;
    values.sequence = lowestSequence;
    values.date = CompactDate();
    return simoracle::ExpandPieceName(format, values);
}

// The set's contents as the repository records them, with what it knows of the logs (their
// spans) and data files (their checkpoints) from the entries themselves.
void RecordContents(const std::vector<simoracle::PieceEntry>& entries,
                    simoracle::PieceRecord& record) {
    for (const simoracle::PieceEntry& entry : entries) {
        record.contents.push_back(entry.label);
        simoracle::RedoLog log;
        simoracle::DataFileHeader header;
        if (entry.label.compare(0, 11, "archivelog:") == 0 && simoracle::ParseLog(entry.data, log))
            record.logs.push_back(
                {log.thread, log.sequence, log.lowScn, log.lowTime, log.nextScn, log.nextTime});
        else if (entry.label.compare(0, 9, "datafile:") == 0 &&
                 simoracle::ParseDataFileHeader(entry.data, header))
            record.dataFiles.push_back(
                {header.number, header.checkpointScn, header.checkpointTime});
    }
}

} // namespace

std::wstring FiveDigits(unsigned number) {
    std::wstring text = std::to_wstring(number);
    return std::wstring(text.size() < 5 ? 5 - text.size() : 0, L'0') + text;
}

bool Session::ReadBackupOptions(TokenCursor& words, BackupOptions& options) {
    for (;;) {
        if (words.Accept(L"tag")) {
            if (!words.AcceptAny(options.tag))
                return false;
            options.tag = Upper(options.tag);
        } else if (words.Accept(L"format")) {
            if (!words.AcceptQuoted(options.format))
                return false;
            options.hasFormat = true;
        } else {
            return true;
        }
    }
}

bool Session::ParseBackup(TokenCursor& words, Action& action) {
    BackupRequest request;
    if (words.Accept(L"as")) {
        request.compressed = words.Accept(L"compressed");
        if (!words.Accept(L"backupset"))
            return false;
    }
    if (words.Accept(L"database"))
        request.what = What::Database;
    else if (words.Accept(L"spfile"))
        request.what = What::SpFile;
    else if (words.AcceptAll(L"current controlfile"))
        request.what = What::ControlFile;
    else if (words.AcceptAll(L"archivelog all"))
        request.what = What::ArchivedLogs;
    else
        return false;
    if (!ReadBackupOptions(words, request.options))
        return false;
    request.plusArchivedLogs =
        request.what == What::Database && words.AcceptAll(L"plus archivelog");
    if (request.plusArchivedLogs && !ReadBackupOptions(words, request.logOptions))
        return false;
    action = [request](Session& session, const Statement&) { session.Backup(request); };
    return true;
}

void Session::Backup(const BackupRequest& given) {
    simoracle::ControlFile controlFile;
    if (!LoadMountedControl(controlFile, kVerb, true))
        return;
    // A channel's format stands in for a backup without one.
    const bool channelFormat = !channels_.empty() && !channels_.front().format.empty();
    BackupRequest request = given;
    for (BackupOptions* each : {&request.options, &request.logOptions}) {
        if (each->tag.empty())
            each->tag = DefaultTag();
        if (!each->hasFormat)
            each->format =
                channelFormat ? channels_.front().format : files_.Home() + L"\\database\\%U";
    }
    switch (request.what) {
    case What::SpFile:
    case What::ControlFile:
        BackupOneFile(controlFile, request);
        break;
    case What::ArchivedLogs:
        BackupAllArchivedLogs(controlFile, request);
        break;
    case What::Database:
        BackupDatabase(controlFile, request);
        break;
    }
}

// Archiving the current log is asked of the database (ALTER SYSTEM ARCHIVE LOG CURRENT), which
// refuses it in NOARCHIVELOG mode; a database that is not open has no log to archive.
bool Session::StartBackup(simoracle::ControlFile& controlFile, bool archiveCurrentLog) {
    out_.Line(L"Starting backup at " + ShownNow());
    if (archiveCurrentLog && !controlFile.archiveLogMode) {
        Fail(kVerb, {L"ORA-00258: manual archiving in NOARCHIVELOG mode must identify log"});
        return false;
    }
    if (archiveCurrentLog && Instance().state == DatabaseState::Open) {
        if (!simoracle::SwitchLog(files_, controlFile) || !SaveControl(controlFile, kVerb))
            return false;
        out_.Line(L"current log archived");
    }
    RepositoryNotice();
    UseChannel();
    return true;
}

void Session::BackupOneFile(simoracle::ControlFile& controlFile, const BackupRequest& request) {
    const bool spFile = request.what == What::SpFile;
    StartBackup(controlFile, false);
    simoracle::PieceEntry entry;
    if (spFile && !SpFileEntry(entry)) {
        Fail(kVerb, {L"RMAN-06062: can not backup SPFILE because the instance was not "
                     L"started with SPFILE"});
        return;
    }
    if (!spFile)
        entry = ControlFileEntry(controlFile);
    const std::wstring input = spFile ? L"including current SPFILE in backup set"
                                      : L"including current control file in backup set";
    if (WriteBackupSet(controlFile, request.options, {entry}, {input}, L"full datafile", 0,
                       request.compressed))
        out_.Line(L"Finished backup at " + ShownNow());
}

void Session::BackupAllArchivedLogs(simoracle::ControlFile& controlFile,
                                    const BackupRequest& request) {
    if (StartBackup(controlFile, true) &&
        BackupArchivedLogs(controlFile, request.options, request.compressed, true, 1))
        out_.Line(L"Finished backup at " + ShownNow());
}

// With PLUS ARCHIVELOG: the logs archived before the data files, the data files, then the logs
// archived since.
void Session::BackupDatabase(simoracle::ControlFile& controlFile, const BackupRequest& request) {
    const simoracle::InstanceState instance = Instance();
    const bool compressed = request.compressed;
    if (!controlFile.archiveLogMode &&
        (instance.state == DatabaseState::Open || !instance.cleanShutdown)) {
        StartBackup(controlFile, false);
        out_.Line(ChannelPrefix() + L"starting " + (compressed ? L"compressed " : L"") +
                  L"full datafile backup set");
        out_.Line(ChannelPrefix() + L"specifying datafile(s) in backup set");
        ChannelFailure(kVerb, {L"ORA-19602: cannot backup or copy active file in NOARCHIVELOG "
                               L"mode"});
        return;
    }
    const bool plusLogs = request.plusArchivedLogs;
    unsigned lastBackedUp = 0;
    if (plusLogs) {
        if (!StartBackup(controlFile, true))
            return;
        lastBackedUp = controlFile.currentSequence - 1;
        if (!BackupArchivedLogs(controlFile, request.logOptions, compressed, false, 1))
            return;
        out_.Line(L"Finished backup at " + ShownNow());
        out_.Line(L"");
    }
    StartBackup(controlFile, false);
    if (!BackupDatafiles(controlFile, request.options, compressed))
        return;
    out_.Line(L"Finished backup at " + ShownNow());
    if (!plusLogs)
        return;
    out_.Line(L"");
    if (StartBackup(controlFile, true) &&
        BackupArchivedLogs(controlFile, request.logOptions, compressed, false, lastBackedUp + 1))
        out_.Line(L"Finished backup at " + ShownNow());
}

bool Session::BackupDatafiles(simoracle::ControlFile& controlFile, const BackupOptions& options,
                              bool compressed) {
    std::vector<simoracle::PieceEntry> entries;
    std::vector<std::wstring> inputs;
    // Files copied while the database runs are checkpointed as the backup begins.
    const simoracle::ChangePoint checkpoint{controlFile.NextScn(), simoracle::Timestamp()};
    for (const simoracle::SimulatedDataFile& dataFile : simoracle::SimulatedDataFiles()) {
        simoracle::PieceEntry entry;
        if (!DataFileEntry(controlFile, dataFile, checkpoint, entry))
            return false;
        entries.push_back(entry);
        inputs.push_back(L"input datafile file number=" + FiveDigits(dataFile.number) + L" name=" +
                         entry.sourceFile);
    }
    if (!WriteBackupSet(controlFile, options, entries, inputs, L"full datafile", 0, compressed))
        return false;
    // Backing up file 1 takes the control file and the server parameter file along.
    std::vector<simoracle::PieceEntry> extras = {ControlFileEntry(controlFile)};
    std::vector<std::wstring> extraInputs = {L"including current control file in backup set"};
    simoracle::PieceEntry spfile;
    if (SpFileEntry(spfile)) {
        extras.push_back(spfile);
        extraInputs.push_back(L"including current SPFILE in backup set");
    }
    return WriteBackupSet(controlFile, options, extras, extraInputs, L"full datafile", 0,
                          compressed);
}

bool Session::DataFileEntry(const simoracle::ControlFile& controlFile,
                            const simoracle::SimulatedDataFile& dataFile,
                            const simoracle::ChangePoint& checkpoint,
                            simoracle::PieceEntry& entry) {
    const std::wstring path = files_.DataFile(dataFile);
    simoracle::DataFileHeader header;
    if (!simoracle::ReadDataFileHeader(path, header)) {
        Fail(kVerb,
             {L"ORA-01157: cannot identify/lock data file " + std::to_wstring(dataFile.number) +
                  L" - see DBWR trace file",
              L"ORA-01110: data file " + std::to_wstring(dataFile.number) + L": '" + path + L"'"});
        return false;
    }
    // Copied from a running (or crashed) database the files are fuzzy: the redo written during
    // the backup is needed to make them consistent.
    const simoracle::InstanceState instance = Instance();
    if (instance.state == DatabaseState::Open || !instance.cleanShutdown) {
        header.checkpointSequence = controlFile.currentSequence;
        header.checkpointScn = checkpoint.scn;
        header.checkpointTime = checkpoint.time;
        header.fuzzy = true;
        header.fuzzySequence = controlFile.currentSequence;
    }
    entry.label = "datafile:" + std::to_string(dataFile.number);
    entry.data = simoracle::FormatDataFileHeader(header);
    entry.sourceFile = path;
    entry.sourceOffset = simoracle::kDataFileHeaderSize;
    return true;
}

bool Session::BackupArchivedLogs(simoracle::ControlFile& controlFile, const BackupOptions& options,
                                 bool compressed, bool required, unsigned fromSequence) {
    std::vector<simoracle::PieceEntry> entries;
    std::vector<std::wstring> inputs;
    unsigned lowest = 0;
    for (unsigned sequence = fromSequence; sequence < controlFile.currentSequence; ++sequence) {
        std::string bytes;
        simoracle::RedoLog log;
        if (!simoracle::ReadArchivedLog(files_, controlFile, controlFile.resetlogsId, sequence,
                                        log) ||
            !simoracle::ReadFileBytes(files_.ArchivedLog(controlFile.resetlogsId, sequence), bytes))
            continue;
        lowest = lowest == 0 ? sequence : lowest;
        entries.push_back({"archivelog:" + std::to_string(sequence), bytes});
        inputs.push_back(L"input archived log thread=" + std::to_wstring(log.thread) +
                         L" sequence=" + std::to_wstring(sequence) + L" RECID=" +
                         std::to_wstring(sequence) + L" STAMP=" + std::to_wstring(Stamp()));
    }
    if (entries.empty()) {
        out_.Line(L"specification does not match any archived log in the repository");
        if (required)
            out_.Line(L"backup cancelled because there are no files to backup");
        return true;
    }
    return WriteBackupSet(controlFile, options, entries, inputs, L"archived log", lowest,
                          compressed);
}

bool Session::WriteBackupSet(simoracle::ControlFile& controlFile, const BackupOptions& options,
                             const std::vector<simoracle::PieceEntry>& entries,
                             const std::vector<std::wstring>& inputLines,
                             const std::wstring& setKind, unsigned lowestSequence,
                             bool compressed) {
    const unsigned setKey = controlFile.nextKey++;
    const unsigned long long stamp = Stamp();
    const std::wstring channel = ChannelPrefix();
    out_.Line(channel + L"starting " + (compressed ? L"compressed " : L"") + setKind +
              L" backup set");
    out_.Line(channel + (setKind == L"archived log" ? L"specifying archived log(s) in backup set"
                                                    : L"specifying datafile(s) in backup set"));
    for (const std::wstring& line : inputLines)
        out_.Line(line);
    const simoracle::PieceHeader header = HeaderOf(controlFile, options.tag, stamp, compressed);
    std::vector<std::wstring> handles;
    const unsigned count = simoracle::PieceCount(header, entries, MaxPieceSize());
    for (unsigned number = 1; number <= count; ++number)
        handles.push_back(
            PieceHandle(controlFile, options.format, setKey, stamp, lowestSequence, number));
    if (!StorePieces(handles, header, entries, setKind == L"full datafile"))
        return false;
    out_.Line(channel + L"backup set complete, elapsed time: 00:00:01");
    simoracle::PieceRecord record;
    record.key = setKey;
    record.handle = handles.front();
    record.tag = options.tag;
    record.stamp = stamp;
    record.completed = simoracle::Timestamp();
    RecordContents(entries, record);
    controlFile.pieces.push_back(record);
    return SaveControl(controlFile, kVerb);
}

unsigned long long Session::MaxPieceSize() const {
    return channels_.empty() ? 0 : channels_.front().maxPieceSize;
}

// Each piece is announced as it starts and named once it is complete, as Recovery Manager
// does. Under the "nopiece" test fault no piece is written, and nothing says so.
bool Session::StorePieces(const std::vector<std::wstring>& handles,
                          const simoracle::PieceHeader& header,
                          const std::vector<simoracle::PieceEntry>& entries, bool dataFiles) {
    for (const std::wstring& handle : handles)
        if (simoracle::FileExists(handle)) {
            Fail(kVerb, {L"ORA-19504: failed to create file \"" + handle + L"\"",
                         L"ORA-27038: created file already exists",
                         L"OSD-04010: <create> option specified, file already exists"});
            return false;
        }
    const std::wstring channel = ChannelPrefix();
    simoracle::PieceWriting writing;
    writing.maxPieceBytes = MaxPieceSize();
    writing.rateMbps = simoracle::LoadWriteRate(files_);
    unsigned current = 0;
    writing.started = [&](unsigned number) {
        current = number;
        out_.Line(channel + L"starting piece " + std::to_wstring(number) + L" at " + ShownNow());
    };
    writing.finished = [&](unsigned number) {
        out_.Line(channel + L"finished piece " + std::to_wstring(number) + L" at " + ShownNow());
        out_.Line(L"piece handle=" + handles[number - 1] + L" tag=" + header.tag +
                  L" comment=NONE");
        if (dieMidway_ && dataFiles && number < handles.size())
            ExitProcess(3);
    };
    if (skipPieceWrites_) {
        for (unsigned number = 1; number <= handles.size(); ++number) {
            writing.started(number);
            writing.finished(number);
        }
        return true;
    }
    if (simoracle::WritePieces(handles, header, entries, writing))
        return true;
    Fail(kVerb,
         {L"ORA-19504: failed to create file \"" + handles[current > 0 ? current - 1 : 0] + L"\"",
          L"ORA-27040: file create error, unable to create file", L"OSD-04002: unable to open file",
          L"O/S-Error: " + simoracle::LastErrorText()});
    return false;
}

simoracle::PieceEntry Session::ControlFileEntry(const simoracle::ControlFile& controlFile) const {
    return {"controlfile", controlFile.Serialize()};
}

bool Session::SpFileEntry(simoracle::PieceEntry& entry) const {
    entry.label = "spfile";
    return simoracle::ReadFileBytes(files_.SpFile(), entry.data);
}

} // namespace rmansim
