// The control file of a simulated database: its identity, its system change number and log
// position, the state of its recovery and the records of its backup pieces. Stored as a sealed
// record, so that a damaged control file is refused rather than misread.
#pragma once

#include <string>
#include <vector>

namespace simoracle {

// What a backup set records of an archived log it holds: the span of redo the log covers, from
// its first SCN to the SCN at which the next log began, with the times of both.
struct BackedUpLog {
    unsigned thread = 1;
    unsigned sequence = 0;
    unsigned long long lowScn = 0;
    std::wstring lowTime; // YYYY-MM-DD HH:MM:SS, as every recorded moment
    unsigned long long nextScn = 0;
    std::wstring nextTime;
};

// What a backup set records of a data file it holds: the checkpoint of the copy.
struct BackedUpDataFile {
    unsigned number = 0;
    unsigned long long checkpointScn = 0;
    std::wstring checkpointTime;
};

struct PieceRecord {
    unsigned key = 0;
    std::wstring handle; // the piece file, as written or catalogued
    std::wstring tag;
    bool expired = false; // a crosscheck found the file missing
    unsigned long long stamp = 0;
    std::wstring completed; // YYYY-MM-DD HH:MM:SS
    // What the piece holds: "datafile:N", "controlfile", "spfile", "archivelog:SEQ".
    std::vector<std::string> contents;
    // Of the logs and data files among the contents, what the repository knows; empty for a
    // catalogued piece.
    std::vector<BackedUpLog> logs;
    std::vector<BackedUpDataFile> dataFiles;

    bool Holds(const std::string& content) const;
    // True when it holds any "archivelog:" entry, "datafile:" entry, ...
    bool HoldsKind(const std::string& kindPrefix) const;
};

// A branch of the database's redo: the first begins at its creation, each later one at an open
// with RESETLOGS.
struct Incarnation {
    unsigned key = 1;         // as LIST INCARNATION numbers it
    unsigned resetlogsId = 1; // the branch that the redo and data files of it name
    unsigned long long resetScn = 1;
    std::wstring resetTime;
};

struct ControlFile {
    std::wstring dbName;
    unsigned long long dbid = 0;
    bool archiveLogMode = true;
    unsigned resetlogsId = 1;
    unsigned long long scn = 1000000; // the last system change number handed out
    unsigned currentSequence = 1;     // the online log being written
    // Where the online log began.
    unsigned long long currentLowScn = 1000000;
    std::wstring currentLowTime;
    // The data files were last made consistent at this sequence: a file whose header is older
    // needs media recovery.
    unsigned checkpointSequence = 1;
    bool restoredFromBackup = false; // a backup control file: only RESETLOGS opens
    bool resetlogsRequired = false;  // an incomplete recovery ran
    unsigned nextKey = 1;
    std::vector<PieceRecord> pieces;
    std::vector<std::wstring> configuration; // stored CONFIGURE settings, as shown
    // The current incarnation last, its ancestors before it.
    std::vector<Incarnation> incarnations;

    // The next system change number, taken.
    unsigned long long NextScn() { return ++scn; }

    std::string Serialize() const;
    static bool Parse(const std::string& bytes, ControlFile& controlFile);
};

bool LoadControlFile(const std::wstring& path, ControlFile& controlFile);
bool SaveControlFile(const std::wstring& path, const ControlFile& controlFile);

} // namespace simoracle
