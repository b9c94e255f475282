// The control file of a simulated database: its identity, its log position, the state of its
// recovery and the records of its backup pieces. Stored as a sealed record, so that a damaged
// control file is refused rather than misread.
#pragma once

#include <string>
#include <vector>

namespace simoracle {

struct PieceRecord {
    unsigned key = 0;
    std::wstring handle; // the piece file, as written or catalogued
    std::wstring tag;
    bool expired = false; // a crosscheck found the file missing
    unsigned long long stamp = 0;
    std::wstring completed; // MM/DD/YYYY HH24:MI:SS
    // What the piece holds: "datafile:N", "controlfile", "spfile", "archivelog:SEQ".
    std::vector<std::string> contents;

    bool Holds(const std::string& content) const;
    // True when it holds any "archivelog:" entry, "datafile:" entry, ...
    bool HoldsKind(const std::string& kindPrefix) const;
};

struct ControlFile {
    std::wstring dbName;
    unsigned long long dbid = 0;
    bool archiveLogMode = true;
    unsigned resetlogsId = 1;
    unsigned currentSequence = 1; // the online log being written
    // The data files were last made consistent at this sequence: a file whose header is older
    // needs media recovery.
    unsigned checkpointSequence = 1;
    bool restoredFromBackup = false; // a backup control file: only RESETLOGS opens
    bool resetlogsRequired = false;  // an incomplete recovery ran
    unsigned nextKey = 1;
    std::vector<PieceRecord> pieces;
    std::vector<std::wstring> configuration; // stored CONFIGURE settings, as shown

    std::string Serialize() const;
    static bool Parse(const std::string& bytes, ControlFile& controlFile);
};

bool LoadControlFile(const std::wstring& path, ControlFile& controlFile);
bool SaveControlFile(const std::wstring& path, const ControlFile& controlFile);

} // namespace simoracle
