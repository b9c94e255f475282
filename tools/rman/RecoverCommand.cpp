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

} // namespace

bool Session::ReadUntil(TokenCursor& words, UntilClause& until) {
    std::wstring word;
    if (words.Accept(L"scn")) {
        until.kind = UntilClause::Kind::Scn;
        return words.AcceptAny(word) && ParseNumber(word, until.number);
    }
    if (words.Accept(L"time")) {
        until.kind = UntilClause::Kind::Time;
        return words.AcceptQuoted(until.time);
    }
    if (!words.Accept(L"logseq") && !words.Accept(L"sequence"))
        return false;
    until.kind = UntilClause::Kind::Sequence;
    if (!words.AcceptAny(word) || !ParseNumber(word, until.number))
        return false;
    return !words.Accept(L"thread") || words.AcceptAny(word);
}

// The simulated redo knows log sequences only: an SCN or a time is refused as a word that
// cannot be taken.
bool Session::RefuseUnsupportedUntil(const UntilClause& until) {
    if (until.kind == UntilClause::Kind::Scn)
        SyntaxError(L"scn");
    else if (until.kind == UntilClause::Kind::Time)
        SyntaxError(L"time");
    else
        return false;
    return true;
}

bool Session::ParseRecover(TokenCursor& words, Action& action) {
    UntilClause until;
    if (!words.Accept(L"database") || (words.Accept(L"until") && !ReadUntil(words, until)))
        return false;
    action = [until](Session& session, const Statement&) { session.Recover(until); };
    return true;
}

// Without its own until clause a recovery in a RUN block follows the block's SET UNTIL.
void Session::Recover(const UntilClause& untilClause) {
    const UntilClause& until =
        untilClause.kind != UntilClause::Kind::None ? untilClause : blockUntil_;
    simoracle::ControlFile controlFile;
    if (RefuseUnsupportedUntil(until) || !LoadMountedControl(controlFile, kVerb, false))
        return;
    StartJob(kVerb);
    std::vector<RecoveryFile> files;
    if (!LoadRecoveryFiles(controlFile, files))
        return;
    const bool bounded = until.kind == UntilClause::Kind::Sequence;
    const unsigned untilSequence =
        bounded ? static_cast<unsigned>(std::min<unsigned long long>(until.number, ~0u)) : 0;
    const unsigned start = RecoveryStart(controlFile, files, bounded);
    if (bounded && untilSequence <= start) {
        Fail(kVerb, {L"RMAN-06556: datafile 1 must be restored from backup older than SCN " +
                     ScnOf(untilSequence)});
        return;
    }
    out_.Line(L"\nstarting media recovery");
    if (start == 0) {
        out_.Line(L"media recovery complete, elapsed time: 00:00:00\n");
        out_.Line(L"Finished recover at " + ShownNow());
        return;
    }
    // A backup control file does not know how far the redo goes: apply whatever can be found.
    const unsigned last = bounded                          ? untilSequence
                          : controlFile.restoredFromBackup ? ~0u
                                                           : controlFile.currentSequence;
    const unsigned reached = ApplyArchivedLogs(controlFile, start, last);
    FinishRecovery(controlFile, files, bounded, untilSequence, reached, last);
}

bool Session::LoadRecoveryFiles(const simoracle::ControlFile& controlFile,
                                std::vector<RecoveryFile>& files) {
    for (const simoracle::DataFileSpec& dataFile : simoracle::DataFileSpecs()) {
        RecoveryFile file{&dataFile, {}};
        if (!simoracle::ReadDataFileHeader(files_.DataFile(dataFile), file.header)) {
            Fail(kVerb, {L"RMAN-06094: datafile " + std::to_wstring(dataFile.number) +
                         L" must be restored"});
            return false;
        }
        if (file.header.resetlogsId != controlFile.resetlogsId) {
            Fail(kVerb,
                 {L"ORA-01190: control file or data file " + std::to_wstring(dataFile.number) +
                      L" is from before the last RESETLOGS",
                  L"ORA-01110: data file " + std::to_wstring(dataFile.number) + L": '" +
                      files_.DataFile(dataFile) + L"'"});
            return false;
        }
        files.push_back(file);
    }
    return true;
}

// The oldest checkpoint among the files that need recovery; when none does, 0, or for a
// recovery to a point the oldest checkpoint of all.
unsigned Session::RecoveryStart(const simoracle::ControlFile& controlFile,
                                const std::vector<RecoveryFile>& files, bool bounded) {
    unsigned start = 0;
    for (const RecoveryFile& file : files) {
        const bool needed = controlFile.restoredFromBackup || file.header.fuzzy ||
                            file.header.checkpointSequence < controlFile.checkpointSequence;
        if (needed && (start == 0 || file.header.checkpointSequence < start))
            start = file.header.checkpointSequence;
    }
    if (bounded && start == 0)
        start =
            std::min_element(files.begin(), files.end(),
                             [](const RecoveryFile& a, const RecoveryFile& b) {
                                 return a.header.checkpointSequence < b.header.checkpointSequence;
                             })
                ->header.checkpointSequence;
    return start;
}

// Applies the archived logs from start up to last, fetching each from a backup when it is not
// on disk; returns the first sequence not applied.
unsigned Session::ApplyArchivedLogs(const simoracle::ControlFile& controlFile, unsigned start,
                                    unsigned last) {
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
    return reached;
}

void Session::AdvanceDataFiles(std::vector<RecoveryFile>& files, unsigned sequence) {
    for (RecoveryFile& file : files) {
        if (file.header.checkpointSequence < sequence)
            file.header.checkpointSequence = sequence;
        if (file.header.fuzzy && file.header.fuzzySequence < sequence) {
            file.header.fuzzy = false;
            file.header.fuzzySequence = 0;
        }
        simoracle::WriteDataFileHeader(files_.DataFile(*file.dataFile), file.header);
    }
}

void Session::FinishRecovery(simoracle::ControlFile& controlFile, std::vector<RecoveryFile>& files,
                             bool bounded, unsigned untilSequence, unsigned reached,
                             unsigned last) {
    if (controlFile.restoredFromBackup && !bounded) {
        AdvanceDataFiles(files, reached);
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
    if (bounded) {
        AdvanceDataFiles(files, untilSequence);
        controlFile.resetlogsRequired = true;
    } else if (!RollForwardOnlineLog(controlFile)) {
        return;
    }
    if (!SaveControl(controlFile, kVerb))
        return;
    out_.Line(L"media recovery complete, elapsed time: 00:00:01\n");
    out_.Line(L"Finished recover at " + ShownNow());
}

// Complete recovery ends with the online log of the current sequence.
bool Session::RollForwardOnlineLog(simoracle::ControlFile& controlFile) {
    std::string bytes;
    simoracle::RedoLog online;
    if (!simoracle::ReadFileBytes(files_.RedoLog(), bytes) || !simoracle::ParseLog(bytes, online) ||
        online.dbid != controlFile.dbid || online.sequence != controlFile.currentSequence) {
        Fail(kVerb, {L"ORA-00313: open failed for members of log group 1 of thread 1",
                     L"ORA-00312: online log 1 thread 1: '" + files_.RedoLog() + L"'"});
        return false;
    }
    simoracle::Checkpoint(files_, controlFile);
    return true;
}

} // namespace rmansim
