// BACKUP: database (with the current control file and server parameter file, and optionally
// the archived logs before and after it), server parameter file, control file, archived logs.
#include "tools/rman/Session.h"

#include "tools/rman/Clock.h"
#include "tools/simdb/DataFile.h"
#include "tools/simdb/FileIo.h"
#include "tools/simdb/PieceNames.h"
#include "tools/simdb/Redo.h"

namespace rmansim {

using simoracle::DatabaseState;

namespace {

const wchar_t kVerb[] = L"backup";

std::wstring FiveDigits(unsigned number) {
    std::wstring text = std::to_wstring(number);
    return std::wstring(text.size() < 5 ? 5 - text.size() : 0, L'0') + text;
}

} // namespace

bool Session::ReadBackupOptions(TokenCursor& words, BackupOptions& options) {
    for (;;) {
        if (words.Accept(L"tag")) {
            std::wstring tag;
            if (!words.AcceptQuoted(tag) && !words.AcceptAny(tag)) {
                SyntaxError(L";");
                return false;
            }
            options.tag = Upper(tag);
        } else if (words.Accept(L"format")) {
            if (!words.AcceptQuoted(options.format)) {
                SyntaxError(words.Peek().empty() ? L";" : words.Peek());
                return false;
            }
            options.hasFormat = true;
        } else {
            return true;
        }
    }
}

void Session::Backup(TokenCursor& words) {
    bool compressed = false;
    if (words.Accept(L"as")) {
        compressed = words.Accept(L"compressed");
        if (!words.Accept(L"backupset")) {
            SyntaxError(words.Peek().empty() ? L";" : words.Peek());
            return;
        }
    }
    enum class What { Database, SpFile, ControlFile, ArchivedLogs } what;
    if (words.Accept(L"database"))
        what = What::Database;
    else if (words.Accept(L"spfile"))
        what = What::SpFile;
    else if (words.AcceptAll(L"current controlfile"))
        what = What::ControlFile;
    else if (words.AcceptAll(L"archivelog all"))
        what = What::ArchivedLogs;
    else {
        SyntaxError(words.Peek().empty() ? L";" : words.Peek());
        return;
    }
    BackupOptions options;
    if (!ReadBackupOptions(words, options))
        return;
    const bool plusArchivedLogs = what == What::Database && words.AcceptAll(L"plus archivelog");
    BackupOptions logOptions;
    if (plusArchivedLogs && !ReadBackupOptions(words, logOptions))
        return;
    if (!words.AtEnd()) {
        SyntaxError(words.Peek());
        return;
    }
    simoracle::ControlFile controlFile;
    if (!LoadMountedControl(controlFile, kVerb, true))
        return;
    const std::wstring defaultFormat = files_.Home() + L"\\database\\%U";
    for (BackupOptions* each : {&options, &logOptions}) {
        if (each->tag.empty())
            each->tag = DefaultTag();
        if (!each->hasFormat)
            each->format = defaultFormat;
    }
    const simoracle::InstanceState instance = Instance();
    const bool open = instance.state == DatabaseState::Open;

    if (what == What::SpFile || what == What::ControlFile) {
        out_.Line(L"Starting backup at " + CommandDate());
        RepositoryNotice();
        UseChannel();
        simoracle::PieceEntry entry;
        if (what == What::SpFile && !SpFileEntry(entry)) {
            Fail(kVerb, {L"RMAN-06062: can not backup SPFILE because the instance was not "
                         L"started with SPFILE"});
            return;
        }
        if (what == What::ControlFile)
            entry = ControlFileEntry(controlFile);
        const std::wstring input = what == What::SpFile
                                       ? L"including current SPFILE in backup set"
                                       : L"including current control file in backup set";
        if (WriteBackupSet(controlFile, options, {entry}, {input}, L"full datafile", 0, compressed))
            out_.Line(L"Finished backup at " + CommandDate());
        return;
    }
    if (what == What::ArchivedLogs) {
        out_.Line(L"Starting backup at " + CommandDate());
        if (open && simoracle::SwitchLog(files_, controlFile) && SaveControl(controlFile, kVerb))
            out_.Line(L"current log archived");
        RepositoryNotice();
        UseChannel();
        if (BackupArchivedLogs(controlFile, options, compressed, true, 1))
            out_.Line(L"Finished backup at " + CommandDate());
        return;
    }

    if (!controlFile.archiveLogMode && (open || !instance.cleanShutdown)) {
        out_.Line(L"Starting backup at " + CommandDate());
        RepositoryNotice();
        UseChannel();
        out_.Line(std::wstring(L"channel ORA_DISK_1: starting ") +
                  (compressed ? L"compressed " : L"") + L"full datafile backup set");
        out_.Line(L"channel ORA_DISK_1: specifying datafile(s) in backup set");
        ChannelFailure(kVerb, {L"ORA-19602: cannot backup or copy active file in NOARCHIVELOG "
                               L"mode"});
        return;
    }
    if (plusArchivedLogs && !controlFile.archiveLogMode) {
        Fail(kVerb, {L"ORA-00258: manual archiving in NOARCHIVELOG mode must identify log"});
        return;
    }
    unsigned lastBackedUp = 0;
    if (plusArchivedLogs) {
        out_.Line(L"Starting backup at " + CommandDate());
        if (open && simoracle::SwitchLog(files_, controlFile) && SaveControl(controlFile, kVerb))
            out_.Line(L"current log archived");
        RepositoryNotice();
        UseChannel();
        lastBackedUp = controlFile.currentSequence - 1;
        if (!BackupArchivedLogs(controlFile, logOptions, compressed, false, 1))
            return;
        out_.Line(L"Finished backup at " + CommandDate());
        out_.Line(L"");
    }
    out_.Line(L"Starting backup at " + CommandDate());
    RepositoryNotice();
    UseChannel();
    if (!BackupDatafiles(controlFile, options, compressed))
        return;
    out_.Line(L"Finished backup at " + CommandDate());
    if (plusArchivedLogs) {
        out_.Line(L"");
        out_.Line(L"Starting backup at " + CommandDate());
        if (open && simoracle::SwitchLog(files_, controlFile) && SaveControl(controlFile, kVerb))
            out_.Line(L"current log archived");
        UseChannel();
        // Only the logs archived since the first part of the command.
        if (!BackupArchivedLogs(controlFile, logOptions, compressed, false, lastBackedUp + 1))
            return;
        out_.Line(L"Finished backup at " + CommandDate());
    }
}

bool Session::BackupDatafiles(simoracle::ControlFile& controlFile, const BackupOptions& options,
                              bool compressed) {
    const simoracle::InstanceState instance = Instance();
    // Copied from a running (or crashed) database the files are fuzzy: the redo written during
    // the backup is needed to make them consistent.
    const bool fuzzy = instance.state == DatabaseState::Open || !instance.cleanShutdown;
    std::vector<simoracle::PieceEntry> entries;
    std::vector<std::wstring> inputs;
    for (const simoracle::DataFileSpec& dataFile : simoracle::DataFileSpecs()) {
        const std::wstring path = files_.DataFile(dataFile);
        simoracle::DataFileHeader header;
        if (!simoracle::ReadDataFileHeader(path, header)) {
            Fail(kVerb, {L"ORA-01157: cannot identify/lock data file " +
                             std::to_wstring(dataFile.number) + L" - see DBWR trace file",
                         L"ORA-01110: data file " + std::to_wstring(dataFile.number) + L": '" +
                             path + L"'"});
            return false;
        }
        if (fuzzy) {
            header.checkpointSequence = controlFile.currentSequence;
            header.fuzzy = true;
            header.fuzzySequence = controlFile.currentSequence;
        }
        simoracle::PieceEntry entry;
        entry.label = "datafile:" + std::to_string(dataFile.number);
        entry.data = simoracle::FormatDataFileHeader(header);
        entry.sourceFile = path;
        entry.sourceOffset = simoracle::kDataFileHeaderSize;
        entries.push_back(entry);
        inputs.push_back(L"input datafile file number=" + FiveDigits(dataFile.number) + L" name=" +
                         path);
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

bool Session::BackupArchivedLogs(simoracle::ControlFile& controlFile, const BackupOptions& options,
                                 bool compressed, bool required, unsigned fromSequence) {
    std::vector<simoracle::PieceEntry> entries;
    std::vector<std::wstring> inputs;
    unsigned lowest = 0;
    for (unsigned sequence = fromSequence; sequence < controlFile.currentSequence; ++sequence) {
        std::string bytes;
        if (!simoracle::ArchivedLogOnDisk(files_, controlFile, controlFile.resetlogsId, sequence) ||
            !simoracle::ReadFileBytes(files_.ArchivedLog(controlFile.resetlogsId, sequence), bytes))
            continue;
        lowest = lowest == 0 ? sequence : lowest;
        entries.push_back({"archivelog:" + std::to_string(sequence), bytes});
        inputs.push_back(L"input archived log thread=1 sequence=" + std::to_wstring(sequence) +
                         L" RECID=" + std::to_wstring(sequence) + L" STAMP=" +
                         std::to_wstring(Stamp()));
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
    const std::wstring channel = L"channel ORA_DISK_1: ";
    out_.Line(channel + L"starting " + (compressed ? L"compressed " : L"") + setKind +
              L" backup set");
    out_.Line(channel + (setKind == L"archived log" ? L"specifying archived log(s) in backup set"
                                                    : L"specifying datafile(s) in backup set"));
    for (const std::wstring& line : inputLines)
        out_.Line(line);
    out_.Line(channel + L"starting piece 1 at " + CommandDate());
    simoracle::PieceNameValues values;
    values.dbName = controlFile.dbName;
    values.dbid = controlFile.dbid;
    values.setKey = setKey;
    values.stamp = stamp;
    values.sequence = lowestSequence;
    values.date = CompactDate();
    const std::wstring handle = simoracle::ExpandPieceName(options.format, values);
    if (simoracle::FileExists(handle)) {
        Fail(kVerb, {L"ORA-19504: failed to create file \"" + handle + L"\"",
                     L"ORA-27038: created file already exists",
                     L"OSD-04010: <create> option specified, file already exists"});
        return false;
    }
    simoracle::PieceHeader header;
    header.dbName = controlFile.dbName;
    header.dbid = controlFile.dbid;
    header.resetlogsId = controlFile.resetlogsId;
    header.tag = options.tag;
    header.stamp = stamp;
    header.compressed = compressed;
    if (!simoracle::WritePiece(handle, header, entries)) {
        Fail(kVerb,
             {L"ORA-19504: failed to create file \"" + handle + L"\"",
              L"ORA-27040: file create error, unable to create file",
              L"OSD-04002: unable to open file", L"O/S-Error: " + simoracle::LastErrorText()});
        return false;
    }
    out_.Line(channel + L"finished piece 1 at " + CommandDate());
    out_.Line(L"piece handle=" + handle + L" tag=" + options.tag + L" comment=NONE");
    out_.Line(channel + L"backup set complete, elapsed time: 00:00:01");
    simoracle::PieceRecord record;
    record.key = setKey;
    record.handle = handle;
    record.tag = options.tag;
    record.stamp = stamp;
    record.completed = CommandDate();
    for (const simoracle::PieceEntry& entry : entries)
        record.contents.push_back(entry.label);
    controlFile.pieces.push_back(record);
    return SaveControl(controlFile, kVerb);
}

simoracle::PieceEntry Session::ControlFileEntry(const simoracle::ControlFile& controlFile) const {
    return {"controlfile", controlFile.Serialize()};
}

bool Session::SpFileEntry(simoracle::PieceEntry& entry) const {
    entry.label = "spfile";
    return simoracle::ReadFileBytes(files_.SpFile(), entry.data);
}

} // namespace rmansim
