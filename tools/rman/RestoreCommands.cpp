// RESTORE: data files by tag, archived logs, and the control file or server parameter file
// from a named piece file.
#include "tools/rman/Session.h"

#include "tools/rman/Clock.h"
#include "tools/simdb/DataFile.h"
#include "tools/simdb/FileIo.h"
#include "tools/simdb/Redo.h"

#include <algorithm>
#include <map>
#include <set>

namespace rmansim {

using simoracle::DatabaseState;

namespace {

const wchar_t kVerb[] = L"restore";

using DataFilesByPiece = std::map<size_t, std::vector<const simoracle::SimulatedDataFile*>>;

std::vector<std::wstring> PieceReadFailure(const std::wstring& handle, const std::wstring& error) {
    return {L"ORA-19870: error while restoring backup piece " + handle,
            L"ORA-19599: block number 1 is corrupt in backup piece " + handle + L" (" + error +
                L")"};
}

// Writes the image the reader stands at into the data file's file, replacing it only when the
// image is complete and checked.
bool RestoreImage(simoracle::PieceReader& reader, const simoracle::DatabaseFiles& files,
                  const simoracle::SimulatedDataFile& dataFile, unsigned long long dbid,
                  std::wstring& error) {
    const std::wstring path = files.DataFile(dataFile);
    simoracle::OutputFile out(path);
    std::string start; // the image's header, checked before the image replaces the file
    const auto sink = [&](const char* data, size_t length) {
        if (start.size() < simoracle::kDataFileHeaderSize)
            start.append(data, std::min(length, simoracle::kDataFileHeaderSize - start.size()));
        return out.Write(data, length);
    };
    if (!reader.Read(sink, error))
        return false;
    simoracle::DataFileHeader image;
    if (!simoracle::ParseDataFileHeader(start, image) || image.dbid != dbid ||
        image.number != dataFile.number) {
        error = L"datafile image is not valid";
        return false;
    }
    if (!out.Commit()) {
        error = L"cannot write " + path + L": " + simoracle::LastErrorText();
        return false;
    }
    return true;
}

// Streams the wanted data file images of a piece into their files; every entry read is checked.
bool RestoreImages(const simoracle::DatabaseFiles& files, const std::wstring& handle,
                   const std::vector<const simoracle::SimulatedDataFile*>& wanted,
                   unsigned long long dbid, std::wstring& error) {
    simoracle::PieceReader reader(handle);
    simoracle::PieceHeader header;
    if (!reader.Open(header, error))
        return false;
    if (header.dbid != dbid) {
        error = L"the piece belongs to another database";
        return false;
    }
    size_t restored = 0;
    std::string label;
    unsigned long long size = 0;
    while (reader.Next(label, size, error)) {
        const simoracle::SimulatedDataFile* dataFile = nullptr;
        for (const simoracle::SimulatedDataFile* candidate : wanted)
            if (label == "datafile:" + std::to_string(candidate->number))
                dataFile = candidate;
        const bool read = dataFile == nullptr ? reader.Skip(error)
                                              : RestoreImage(reader, files, *dataFile, dbid, error);
        if (!read)
            return false;
        restored += dataFile == nullptr ? 0 : 1;
    }
    if (!reader.AtEnd())
        return false;
    if (restored != wanted.size()) {
        error = L"a datafile image is missing";
        return false;
    }
    return true;
}

// The one entry of a piece with that label, read and checked; the others are passed over.
bool ReadEntry(const std::wstring& path, const std::string& wanted, simoracle::PieceHeader& header,
               std::string& data, bool& found, std::wstring& error) {
    simoracle::PieceReader reader(path);
    if (!reader.Open(header, error))
        return false;
    found = false;
    std::string label;
    unsigned long long size = 0;
    while (reader.Next(label, size, error)) {
        const bool take = label == wanted && !found;
        const bool ok = take ? reader.Read(
                                   [&](const char* bytes, size_t length) {
                                       data.append(bytes, length);
                                       return true;
                                   },
                                   error)
                             : reader.Skip(error);
        if (!ok)
            return false;
        found = found || take;
    }
    return reader.AtEnd();
}

} // namespace

std::wstring ScnOf(unsigned sequence) {
    return std::to_wstring(1000000ULL + sequence * 10000ULL);
}

bool Session::ParseRestore(TokenCursor& words, Action& action) {
    RestoreRequest request;
    using What = RestoreRequest::What;
    if (words.Accept(L"database")) {
        request.what = What::Database;
        if (words.AcceptAll(L"from tag") && !words.AcceptAny(request.tag))
            return false;
    } else if (words.AcceptAll(L"archivelog all")) {
        request.what = What::ArchivedLogs;
    } else {
        // The piece's name is taken literally: nothing in it is expanded.
        request.what = words.Accept(L"controlfile") ? What::ControlFile : What::SpFile;
        if ((request.what == What::SpFile && !words.Accept(L"spfile")) || !words.Accept(L"from") ||
            !words.AcceptQuoted(request.path))
            return false;
    }
    action = [request](Session& session, const Statement&) { session.Restore(request); };
    return true;
}

void Session::Restore(const RestoreRequest& request) {
    switch (request.what) {
    case RestoreRequest::What::Database:
        RestoreDatabase(request.tag);
        break;
    case RestoreRequest::What::ArchivedLogs:
        RestoreArchivedLogs();
        break;
    case RestoreRequest::What::ControlFile:
    case RestoreRequest::What::SpFile:
        RestoreFromFile(request.what == RestoreRequest::What::ControlFile, request.path);
        break;
    }
}

namespace {

// The newest available piece of each data file, by piece, or the errors of those without one.
DataFilesByPiece
ChooseDataFilePieces(const simoracle::ControlFile& controlFile, const std::wstring& tag,
                     const std::function<bool(const simoracle::PieceRecord&)>& available,
                     std::vector<std::wstring>& missing) {
    DataFilesByPiece byPiece;
    for (const simoracle::SimulatedDataFile& dataFile : simoracle::SimulatedDataFiles()) {
        const std::string label = "datafile:" + std::to_string(dataFile.number);
        bool found = false;
        for (size_t i = controlFile.pieces.size(); i-- > 0 && !found;) {
            const simoracle::PieceRecord& piece = controlFile.pieces[i];
            found = piece.Holds(label) && (tag.empty() || Upper(piece.tag) == Upper(tag)) &&
                    available(piece);
            if (found)
                byPiece[i].push_back(&dataFile);
        }
        if (!found)
            missing.push_back(L"RMAN-06023: no backup or copy of datafile " +
                              std::to_wstring(dataFile.number) + L" found to restore");
    }
    return byPiece;
}

} // namespace

void Session::RestoreDatabase(const std::wstring& tag) {
    simoracle::ControlFile controlFile;
    if (!LoadMountedControl(controlFile, kVerb, false))
        return;
    StartJob(kVerb);
    std::vector<std::wstring> missing;
    const DataFilesByPiece byPiece = ChooseDataFilePieces(
        controlFile, tag,
        [this](const simoracle::PieceRecord& piece) { return PieceAvailable(piece); }, missing);
    if (!missing.empty()) {
        missing.insert(missing.begin(), L"RMAN-06026: some targets not found - aborting restore");
        Fail(kVerb, missing);
        return;
    }
    simoracle::CreateFolders(files_.DataFolder());
    for (const auto& set : byPiece)
        if (!RestoreDataFilesFrom(controlFile.pieces[set.first], controlFile.dbid, set.second))
            return;
    out_.Line(L"Finished restore at " + ShownNow());
}

bool Session::RestoreDataFilesFrom(
    const simoracle::PieceRecord& piece, unsigned long long dbid,
    const std::vector<const simoracle::SimulatedDataFile*>& dataFiles) {
    const std::wstring channel = ChannelPrefix();
    out_.Line(L"");
    out_.Line(channel + L"starting datafile backup set restore");
    out_.Line(channel + L"specifying datafile(s) to restore from backup set");
    for (const simoracle::SimulatedDataFile* dataFile : dataFiles)
        out_.Line(channel + L"restoring datafile " + FiveDigits(dataFile->number) + L" to " +
                  files_.DataFile(*dataFile));
    out_.Line(channel + L"reading from backup piece " + piece.handle);
    std::wstring error;
    if (!RestoreImages(files_, piece.handle, dataFiles, dbid, error)) {
        Fail(kVerb, PieceReadFailure(piece.handle, error));
        return false;
    }
    out_.Line(channel + L"piece handle=" + piece.handle + L" tag=" + piece.tag);
    out_.Line(channel + L"restored backup piece 1");
    out_.Line(channel + L"restore complete, elapsed time: 00:00:01");
    return true;
}

bool Session::RestoreLogFromBackup(const simoracle::ControlFile& controlFile, unsigned sequence) {
    const std::string label = "archivelog:" + std::to_string(sequence);
    for (size_t i = controlFile.pieces.size(); i-- > 0;) {
        const simoracle::PieceRecord& piece = controlFile.pieces[i];
        if (piece.expired || !piece.Holds(label))
            continue;
        simoracle::PieceHeader header;
        std::vector<simoracle::PieceEntry> entries;
        std::wstring error;
        if (!simoracle::ReadPiece(piece.handle, header, &entries, error) ||
            header.dbid != controlFile.dbid || header.resetlogsId != controlFile.resetlogsId)
            continue;
        for (const simoracle::PieceEntry& entry : entries) {
            if (entry.label != label)
                continue;
            const std::wstring path = files_.ArchivedLog(controlFile.resetlogsId, sequence);
            out_.Line(ChannelPrefix() + L"starting archived log restore to default "
                                        L"destination");
            out_.Line(ChannelPrefix() + L"restoring archived log");
            out_.Line(L"archived log thread=1 sequence=" + std::to_wstring(sequence));
            out_.Line(ChannelPrefix() + L"reading from backup piece " + piece.handle);
            if (!simoracle::CreateFolders(files_.ArchiveFolder()) ||
                !simoracle::WriteFileBytes(path, entry.data))
                return false;
            out_.Line(ChannelPrefix() + L"piece handle=" + piece.handle + L" tag=" + piece.tag);
            out_.Line(ChannelPrefix() + L"restored backup piece 1");
            out_.Line(ChannelPrefix() + L"restore complete, elapsed time: 00:00:01");
            return true;
        }
    }
    return false;
}

void Session::RestoreArchivedLogs() {
    simoracle::ControlFile controlFile;
    if (!LoadMountedControl(controlFile, kVerb, true))
        return;
    StartJob(kVerb);
    std::set<unsigned> backedUp;
    for (const simoracle::PieceRecord& piece : controlFile.pieces)
        for (const std::string& content : piece.contents)
            if (!piece.expired && content.compare(0, 11, "archivelog:") == 0)
                backedUp.insert(static_cast<unsigned>(std::stoul(content.substr(11))));
    if (backedUp.empty()) {
        const unsigned wanted = controlFile.currentSequence > 1 ? 1 : controlFile.currentSequence;
        Fail(kVerb, {L"RMAN-06026: some targets not found - aborting restore",
                     L"RMAN-06025: no backup of archived log for thread 1 with sequence " +
                         std::to_wstring(wanted) + L" and starting SCN of " + ScnOf(wanted) +
                         L" found to restore"});
        return;
    }
    for (unsigned sequence : backedUp) {
        if (simoracle::ArchivedLogOnDisk(files_, controlFile, controlFile.resetlogsId, sequence)) {
            out_.Line(L"archived log for thread 1 with sequence " + std::to_wstring(sequence) +
                      L" is already on disk as file " +
                      files_.ArchivedLog(controlFile.resetlogsId, sequence));
        } else if (!RestoreLogFromBackup(controlFile, sequence)) {
            Fail(kVerb, {L"RMAN-06026: some targets not found - aborting restore",
                         L"RMAN-06025: no backup of archived log for thread 1 with sequence " +
                             std::to_wstring(sequence) + L" and starting SCN of " +
                             ScnOf(sequence) + L" found to restore"});
            return;
        }
    }
    out_.Line(L"Finished restore at " + ShownNow());
}

void Session::RestoreFromFile(bool controlFile, const std::wstring& path) {
    if (!InstanceTakesRestoreFromFile(controlFile))
        return;
    out_.Line(L"Starting restore at " + ShownNow());
    UseChannel();
    out_.Line(L"");
    if (!simoracle::FileExists(path)) {
        Fail(kVerb, {L"ORA-19505: failed to identify file \"" + path + L"\"",
                     L"ORA-27041: unable to open file", L"OSD-04002: unable to open file",
                     L"O/S-Error: (OS 2) The system cannot find the file specified."});
        return;
    }
    simoracle::PieceHeader header;
    std::string data;
    bool found = false;
    std::wstring error;
    if (!ReadEntry(path, controlFile ? "controlfile" : "spfile", header, data, found, error)) {
        Fail(kVerb, PieceReadFailure(path, error));
        return;
    }
    simoracle::ControlFile restored;
    if (!found || (dbidSet_ != 0 && header.dbid != dbidSet_) ||
        (controlFile && !simoracle::ControlFile::Parse(data, restored))) {
        Fail(kVerb, {L"RMAN-06172: no AUTOBACKUP found or specified handle is not a valid copy "
                     L"or piece"});
        return;
    }
    out_.Line(ChannelPrefix() + (controlFile ? L"restoring control file" : L"restoring spfile"));
    WriteRestoredFile(controlFile, data, restored);
}

// Without a TO clause a file is restored only into a started instance; the server parameter
// file only into the stand-in instance, which runs without one.
bool Session::InstanceTakesRestoreFromFile(bool controlFile) {
    const simoracle::InstanceState instance = Instance();
    switch (instance.state) {
    case DatabaseState::Down:
        Fail(kVerb, InstanceDownCauses());
        return false;
    case DatabaseState::Mounted:
    case DatabaseState::Open:
        Fail(kVerb, {controlFile ? L"RMAN-06496: must use the TO clause when the database is "
                                   L"mounted or open"
                                 : L"RMAN-06564: must use the TO clause when the instance is "
                                   L"started with SPFILE"});
        return false;
    case DatabaseState::Started:
        if (!controlFile && !instance.standIn) {
            Fail(kVerb, {L"RMAN-06564: must use the TO clause when the instance is started with "
                         L"SPFILE"});
            return false;
        }
        break;
    }
    return true;
}

void Session::WriteRestoredFile(bool controlFile, const std::string& data,
                                simoracle::ControlFile& restored) {
    std::wstring target = files_.SpFile();
    if (controlFile) {
        restored.restoredFromBackup = true;
        // Where the instance's parameters put it; the stand-in's default is never mounted.
        target = Instance().standIn ? files_.StandInControlFile() : files_.ControlFile();
    }
    const bool written = simoracle::CreateFolders(simoracle::ParentFolder(target)) &&
                         (controlFile ? simoracle::SaveControlFile(target, restored)
                                      : simoracle::WriteFileBytes(target, data));
    if (!written) {
        Fail(kVerb, {L"ORA-19504: failed to create file \"" + target + L"\"",
                     L"O/S-Error: " + simoracle::LastErrorText()});
        return;
    }
    out_.Line(ChannelPrefix() + L"restore complete, elapsed time: 00:00:01");
    out_.Line(L"output file name=" + target);
    out_.Line(L"Finished restore at " + ShownNow());
}

} // namespace rmansim
