// RECOVER DATABASE: media recovery of restored data files from archived logs (restored from
// backups when they are not on disk) and the online log.
//   With the current control file the recovery is complete: every log up to the current one.
//   With a restored (backup) control file the logs are applied as long as they can be found,
//   then recovery asks for the next one (RMAN-06054) and the database opens only with
//   RESETLOGS, as with an UNTIL clause.
#include "tools/rman/Session.h"

#include "tools/rman/Clock.h"
#include "tools/simdb/DataFile.h"
#include "tools/simdb/FileIo.h"
#include "tools/simdb/Redo.h"

#include <algorithm>

namespace rmansim {

namespace {
const wchar_t kVerb[] = L"recover";
}

void Session::Recover(TokenCursor& words) {
    std::wstring untilText;
    bool until = false;
    if (!words.Accept(L"database")) {
        SyntaxError(words.Peek().empty() ? L";" : words.Peek());
        return;
    }
    if (words.Accept(L"until")) {
        until = (words.Accept(L"logseq") || words.Accept(L"sequence")) &&
                words.AcceptAny(untilText) &&
                untilText.find_first_not_of(L"0123456789") == std::wstring::npos;
        std::wstring thread;
        if (until && words.Accept(L"thread"))
            until = words.AcceptAny(thread);
        if (!until) {
            SyntaxError(words.Peek().empty() ? L";" : words.Peek());
            return;
        }
    }
    if (!words.AtEnd()) {
        SyntaxError(words.Peek());
        return;
    }
    simoracle::ControlFile controlFile;
    if (!LoadMountedControl(controlFile, kVerb, false))
        return;
    out_.Line(L"Starting recover at " + CommandDate());
    RepositoryNotice();
    UseChannel();

    struct File {
        const simoracle::DataFileSpec* dataFile;
        simoracle::DataFileHeader header;
    };
    std::vector<File> datafiles;
    for (const simoracle::DataFileSpec& dataFile : simoracle::DataFileSpecs()) {
        File file{&dataFile, {}};
        if (!simoracle::ReadDataFileHeader(files_.DataFile(dataFile), file.header)) {
            Fail(kVerb, {L"RMAN-06094: datafile " + std::to_wstring(dataFile.number) +
                         L" must be restored"});
            return;
        }
        if (file.header.resetlogsId != controlFile.resetlogsId) {
            Fail(kVerb,
                 {L"ORA-01190: control file or data file " + std::to_wstring(dataFile.number) +
                      L" is from before the last RESETLOGS",
                  L"ORA-01110: data file " + std::to_wstring(dataFile.number) + L": '" +
                      files_.DataFile(dataFile) + L"'"});
            return;
        }
        datafiles.push_back(file);
    }
    const bool backupControlFile = controlFile.restoredFromBackup;
    unsigned start = 0;
    for (const File& file : datafiles) {
        const bool needed = backupControlFile || file.header.fuzzy ||
                            file.header.checkpointSequence < controlFile.checkpointSequence;
        if (needed && (start == 0 || file.header.checkpointSequence < start))
            start = file.header.checkpointSequence;
    }
    const unsigned untilSequence =
        until ? static_cast<unsigned>(std::min<unsigned long long>(std::stoull(untilText), ~0u))
              : 0;
    if (until && start == 0)
        start =
            std::min_element(datafiles.begin(), datafiles.end(), [](const File& a, const File& b) {
                return a.header.checkpointSequence < b.header.checkpointSequence;
            })->header.checkpointSequence;
    if (until && untilSequence <= start) {
        Fail(kVerb, {L"RMAN-06556: datafile 1 must be restored from backup older than SCN " +
                     ScnOf(untilSequence)});
        return;
    }
    out_.Line(L"\nstarting media recovery");
    if (start == 0) {
        out_.Line(L"media recovery complete, elapsed time: 00:00:00\n");
        out_.Line(L"Finished recover at " + CommandDate());
        return;
    }
    // Apply the archived logs, fetching each from a backup when it is not on disk.
    // A backup control file does not know how far the redo goes: apply whatever can be found.
    const unsigned last = until               ? untilSequence
                          : backupControlFile ? ~0u
                                              : controlFile.currentSequence;
    unsigned reached = start;
    for (; reached < last; ++reached) {
        const std::wstring path = files_.ArchivedLog(controlFile.resetlogsId, reached);
        if (simoracle::ArchivedLogOnDisk(files_, controlFile, controlFile.resetlogsId, reached))
            out_.Line(L"\narchived log for thread 1 with sequence " + std::to_wstring(reached) +
                      L" is already on disk as file " + path);
        else if (!RestoreLogFromBackup(controlFile, reached))
            break;
        out_.Line(L"archived log file name=" + path + L" thread=1 sequence=" +
                  std::to_wstring(reached));
    }
    const auto applyTo = [&](unsigned sequence) {
        for (File& file : datafiles) {
            if (file.header.checkpointSequence < sequence)
                file.header.checkpointSequence = sequence;
            if (file.header.fuzzy && file.header.fuzzySequence < sequence) {
                file.header.fuzzy = false;
                file.header.fuzzySequence = 0;
            }
            simoracle::WriteDataFileHeader(files_.DataFile(*file.dataFile), file.header);
        }
    };
    if (backupControlFile && !until) {
        applyTo(reached);
        controlFile.resetlogsRequired = true;
        SaveControl(controlFile, kVerb);
        Fail(kVerb, {L"RMAN-06054: media recovery requesting unknown archived log for thread 1 "
                     L"with sequence " +
                     std::to_wstring(reached) + L" and starting SCN of " + ScnOf(reached)});
        return;
    }
    if (reached < last) {
        Fail(kVerb, {L"RMAN-06053: unable to perform media recovery because of missing log",
                     L"RMAN-06025: no backup of archived log for thread 1 with sequence " +
                         std::to_wstring(reached) + L" and starting SCN of " + ScnOf(reached) +
                         L" found to restore"});
        return;
    }
    if (until) {
        applyTo(untilSequence);
        controlFile.resetlogsRequired = true;
    } else {
        std::string bytes;
        simoracle::LogIdentity online;
        if (!simoracle::ReadFileBytes(files_.RedoLog(), bytes) ||
            !simoracle::ParseLog(bytes, online) || online.dbid != controlFile.dbid ||
            online.sequence != controlFile.currentSequence) {
            Fail(kVerb, {L"ORA-00313: open failed for members of log group 1 of thread 1",
                         L"ORA-00312: online log 1 thread 1: '" + files_.RedoLog() + L"'"});
            return;
        }
        simoracle::Checkpoint(files_, controlFile);
    }
    if (!SaveControl(controlFile, kVerb))
        return;
    out_.Line(L"media recovery complete, elapsed time: 00:00:01\n");
    out_.Line(L"Finished recover at " + CommandDate());
}

} // namespace rmansim
