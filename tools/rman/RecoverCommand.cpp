// RECOVER DATABASE: media recovery of restored data files from archived logs (restored from
// backups when they are not on disk) and the online log, applying the changes each log carries.
//   With the current control file the recovery is complete: every log up to the current one.
//   With a restored (backup) control file the logs are applied as long as they can be found,
//   then recovery asks for the next one (RMAN-06054) and the database opens only with
//   RESETLOGS, as after a recovery to a point.
//   A point (UNTIL SCN, TIME or SEQUENCE, of the command or of the RUN block's SET UNTIL) is an
//   exclusive limit: redo at or after it is not applied.
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

// Where a recovery stops: the redo at or after the point is not applied.
struct StopPoint {
    UntilClause::Kind kind = UntilClause::Kind::None;
    unsigned long long scn = 0;
    std::wstring time; // YYYY-MM-DD HH:MM:SS
    unsigned sequence = 0;

    bool ByChange() const {
        return kind == UntilClause::Kind::Scn || kind == UntilClause::Kind::Time;
    }
    // Redo made at that SCN and time lies before the point.
    bool Before(unsigned long long atScn, const std::wstring& atTime) const {
        if (kind == UntilClause::Kind::Scn)
            return atScn < scn;
        if (kind == UntilClause::Kind::Time)
            return atTime < time;
        return true;
    }
    // The point lies before the checkpoint of a file's copy (recovery starting at the log sequence
    // start), where redo cannot take it back to. limit: the SCN that RMAN-06556 names.
    bool PrecedesCheckpoint(const simoracle::DataFileHeader& header, unsigned start,
                            std::wstring& limit) const {
        switch (kind) {
        case UntilClause::Kind::Sequence:
            limit = ScnOf(sequence);
            return sequence <= start;
        case UntilClause::Kind::Scn:
            limit = std::to_wstring(scn);
            return header.checkpointScn > scn;
        case UntilClause::Kind::Time:
            limit = std::to_wstring(header.checkpointScn);
            return header.checkpointTime > time;
        case UntilClause::Kind::None:
            break;
        }
        return false;
    }
};

namespace {

bool ReadStopPoint(const UntilClause& until, StopPoint& point) {
    point.kind = until.kind;
    point.scn = until.number;
    point.sequence = static_cast<unsigned>(std::min<unsigned long long>(until.number, ~0u));
    return until.kind != UntilClause::Kind::Time || ReadDateExpression(until.time, point.time);
}

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
    if (!LoadMountedControl(controlFile, kVerb, false))
        return;
    StopPoint point;
    if (!ReadStopPoint(until, point)) {
        Fail(kVerb, {L"ORA-01861: literal does not match format string"});
        return;
    }
    StartJob(kVerb);
    std::vector<RecoveryFile> files;
    if (!LoadRecoveryFiles(controlFile, files))
        return;
    const bool bounded = point.kind != UntilClause::Kind::None;
    const unsigned start = RecoveryStart(controlFile, files, bounded);
    for (const RecoveryFile& file : files) {
        std::wstring limit;
        if (point.PrecedesCheckpoint(file.header, start, limit)) {
            Fail(kVerb, {L"RMAN-06556: datafile " + std::to_wstring(file.dataFile->number) +
                         L" must be restored from backup older than SCN " + limit});
            return;
        }
    }
    out_.Line(L"\nstarting media recovery");
    if (start == 0) {
        out_.Line(L"media recovery complete, elapsed time: 00:00:00\n");
        out_.Line(L"Finished recover at " + ShownNow());
        return;
    }
    // A backup control file does not know how far the redo goes: apply whatever can be found.
    const unsigned last = point.kind == UntilClause::Kind::Sequence ? point.sequence
                          : controlFile.restoredFromBackup          ? ~0u
                                                                    : controlFile.currentSequence;
    // The files hold the redo up to their oldest checkpoint: a recovery to a point there needs
    // no log at all.
    RecoveryProgress progress;
    progress.sequence = start;
    for (const RecoveryFile& file : files)
        if (progress.scn == 0 || file.header.checkpointScn < progress.scn) {
            progress.scn = file.header.checkpointScn;
            progress.time = file.header.checkpointTime;
        }
    ApplyArchivedLogs(controlFile, files, point, last, progress);
    FinishRecovery(controlFile, files, point, last, progress);
}

bool Session::LoadRecoveryFiles(const simoracle::ControlFile& controlFile,
                                std::vector<RecoveryFile>& files) {
    for (const simoracle::SimulatedDataFile& dataFile : simoracle::SimulatedDataFiles()) {
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

// Applies the archived logs from progress.sequence up to last (or to the point), fetching each
// from a backup when it is not on disk; progress ends at the first log not applied in full.
void Session::ApplyArchivedLogs(simoracle::ControlFile& controlFile,
                                std::vector<RecoveryFile>& files, const StopPoint& point,
                                unsigned last, RecoveryProgress& progress) {
    for (; progress.sequence < last; ++progress.sequence) {
        const unsigned sequence = progress.sequence;
        // The point lies where the logs applied so far end: nothing more is needed.
        if (point.ByChange() && !point.Before(progress.scn, progress.time)) {
            progress.pointReached = true;
            return;
        }
        const std::wstring path = files_.ArchivedLog(controlFile.resetlogsId, sequence);
        if (simoracle::ArchivedLogOnDisk(files_, controlFile, controlFile.resetlogsId, sequence))
            out_.Line(L"\narchived log for thread 1 with sequence " + std::to_wstring(sequence) +
                      L" is already on disk as file " + path);
        else if (!RestoreLogFromBackup(controlFile, sequence))
            return;
        simoracle::RedoLog log;
        if (!simoracle::ReadArchivedLog(files_, controlFile, controlFile.resetlogsId, sequence,
                                        log))
            return;
        if (point.ByChange() && !point.Before(log.lowScn, log.lowTime)) {
            progress.pointReached = true;
            return;
        }
        out_.Line(L"archived log file name=" + path + L" thread=1 sequence=" +
                  std::to_wstring(sequence));
        const bool whole =
            !point.ByChange() || (point.kind == UntilClause::Kind::Scn ? log.nextScn <= point.scn
                                                                       : log.nextTime < point.time);
        unsigned long long stopScn = log.nextScn;
        for (const simoracle::RedoChange& change : log.changes) {
            if (!point.Before(change.scn, change.time)) {
                stopScn = std::min(stopScn, change.scn);
                continue;
            }
            ApplyChange(files, change);
        }
        if (!whole) {
            // The point lies inside this log: its redo is applied up to the point only.
            AdvanceDataFiles(files, sequence,
                             point.kind == UntilClause::Kind::Scn ? point.scn : stopScn, point.time,
                             false);
            progress.scn = point.kind == UntilClause::Kind::Scn ? point.scn : stopScn;
            progress.pointReached = true;
            return;
        }
        AdvanceDataFiles(files, sequence + 1, log.nextScn, log.nextTime, true);
        progress.scn = log.nextScn;
        progress.time = log.nextTime;
    }
}

void Session::ApplyChange(std::vector<RecoveryFile>& files, const simoracle::RedoChange& change) {
    for (const RecoveryFile& file : files)
        if (file.dataFile->number == change.fileNumber && change.scn >= file.header.checkpointScn)
            simoracle::WriteFileAt(files_.DataFile(*file.dataFile), change.offset, change.bytes);
}

// The files hold the redo up to scn; wholeLogs: every log before sequence is applied in full.
void Session::AdvanceDataFiles(std::vector<RecoveryFile>& files, unsigned sequence,
                               unsigned long long scn, const std::wstring& time, bool wholeLogs) {
    for (RecoveryFile& file : files) {
        if (file.header.checkpointScn < scn) {
            file.header.checkpointScn = scn;
            file.header.checkpointTime = time;
        }
        if (file.header.checkpointSequence < sequence)
            file.header.checkpointSequence = sequence;
        if (wholeLogs && file.header.fuzzy && file.header.fuzzySequence < sequence) {
            file.header.fuzzy = false;
            file.header.fuzzySequence = 0;
        }
        simoracle::WriteDataFileHeader(files_.DataFile(*file.dataFile), file.header);
    }
}

void Session::FinishRecovery(simoracle::ControlFile& controlFile, std::vector<RecoveryFile>& files,
                             const StopPoint& point, unsigned last,
                             const RecoveryProgress& progress) {
    // The SCNs that the recovered redo used are never handed out again.
    controlFile.scn = std::max(controlFile.scn, progress.scn);
    const bool bounded = point.kind != UntilClause::Kind::None;
    const bool atPoint = progress.pointReached || (point.kind == UntilClause::Kind::Sequence &&
                                                   progress.sequence == point.sequence);
    if (!atPoint && progress.sequence < last) {
        if (controlFile.restoredFromBackup) {
            controlFile.resetlogsRequired = true;
            SaveControl(controlFile, kVerb);
            const std::wstring lowScn = std::to_wstring(progress.scn);
            Fail(kVerb, {L"RMAN-06054: media recovery requesting unknown archived log for "
                         L"thread 1 with sequence " +
                         std::to_wstring(progress.sequence) + L" and starting SCN of " + lowScn});
            return;
        }
        Fail(kVerb, {L"RMAN-06053: unable to perform media recovery because of missing log",
                     L"RMAN-06025: no backup of archived log for thread 1 with sequence " +
                         std::to_wstring(progress.sequence) + L" and starting SCN of " +
                         ScnOf(progress.sequence) + L" found to restore"});
        return;
    }
    if (!atPoint && !RollForwardOnlineLog(controlFile, files, point))
        return;
    if (bounded)
        controlFile.resetlogsRequired = true;
    if (!SaveControl(controlFile, kVerb))
        return;
    out_.Line(L"media recovery complete, elapsed time: 00:00:01\n");
    out_.Line(L"Finished recover at " + ShownNow());
}

// The recovery ends in the online log of the current sequence: complete, or up to the point.
bool Session::RollForwardOnlineLog(simoracle::ControlFile& controlFile,
                                   std::vector<RecoveryFile>& files, const StopPoint& point) {
    std::string bytes;
    simoracle::RedoLog online;
    if (!simoracle::ReadFileBytes(files_.RedoLog(), bytes) || !simoracle::ParseLog(bytes, online) ||
        online.dbid != controlFile.dbid || online.sequence != controlFile.currentSequence) {
        Fail(kVerb, {L"ORA-00313: open failed for members of log group 1 of thread 1",
                     L"ORA-00312: online log 1 thread 1: '" + files_.RedoLog() + L"'"});
        return false;
    }
    for (const simoracle::RedoChange& change : online.changes)
        if (point.Before(change.scn, change.time))
            ApplyChange(files, change);
    if (point.kind != UntilClause::Kind::None)
        return true;
    simoracle::Checkpoint(files_, controlFile);
    return true;
}

} // namespace rmansim
