// A simulated data file: a 512-byte header that records what recovery needs to know, then the
// file's blocks. The header is rewritten by checkpoints and recovery; the blocks are the data.
#pragma once

#include "tools/simdb/ControlFile.h"
#include "tools/simdb/Layout.h"

#include <string>

namespace simoracle {

struct DataFileHeader {
    unsigned number = 0;
    unsigned long long dbid = 0;
    unsigned resetlogsId = 1;
    unsigned checkpointSequence = 1; // redo from this log sequence on is still to be applied
    // The checkpoint: every change before this SCN is in the file.
    unsigned long long checkpointScn = 0;
    std::wstring checkpointTime;
    // Copied while the database was open: redo up to and including fuzzySequence must be
    // applied before the file is consistent.
    bool fuzzy = false;
    unsigned fuzzySequence = 0;
};

const size_t kDataFileHeaderSize = 512;

// The header as it stands at the start of the file: exactly kDataFileHeaderSize bytes.
std::string FormatDataFileHeader(const DataFileHeader& header);
// False when the bytes do not start with a data file header of the simulator.
bool ParseDataFileHeader(const std::string& bytes, DataFileHeader& header);
bool ReadDataFileHeader(const std::wstring& path, DataFileHeader& header);
// Rewrites the header of an existing data file in place.
bool WriteDataFileHeader(const std::wstring& path, const DataFileHeader& header);

// Makes every data file that is present consistent at the control file's current sequence, with
// a checkpoint at a new SCN, and records that in the control file (which the caller saves). False
// when a file is missing or damaged; the others are checkpointed all the same.
bool Checkpoint(const DatabaseFiles& files, ControlFile& controlFile);

} // namespace simoracle
