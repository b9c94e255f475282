#include "tools/simdb/DataFile.h"

#include "tools/simdb/Clock.h"
#include "tools/simdb/Fields.h"
#include "tools/simdb/FileIo.h"

#include <algorithm>

namespace simoracle {

namespace {
const char kMagic[] = "SIMORA-DATAFILE-1";
}

std::string FormatDataFileHeader(const DataFileHeader& header) {
    Fields fields;
    fields.Add("format", std::string(kMagic));
    fields.Add("file", header.number);
    fields.Add("dbid", header.dbid);
    fields.Add("resetlogs_id", header.resetlogsId);
    fields.Add("checkpoint_sequence", header.checkpointSequence);
    fields.Add("checkpoint_scn", header.checkpointScn);
    fields.Add("checkpoint_time", header.checkpointTime);
    fields.Add("fuzzy", header.fuzzy ? 1ULL : 0ULL);
    fields.Add("fuzzy_sequence", header.fuzzySequence);
    std::string bytes = fields.FormatSealed();
    bytes.resize(kDataFileHeaderSize, '\0');
    return bytes;
}

bool ParseDataFileHeader(const std::string& bytes, DataFileHeader& header) {
    if (bytes.size() < kDataFileHeaderSize)
        return false;
    const std::string text = bytes.substr(0, std::min(bytes.find('\0'), kDataFileHeaderSize));
    Fields fields;
    if (text.size() >= kDataFileHeaderSize || !Fields::ParseSealed(text, fields) ||
        fields.Text("format") != kMagic)
        return false;
    header.number = static_cast<unsigned>(fields.Number("file"));
    header.dbid = fields.Number("dbid");
    header.resetlogsId = static_cast<unsigned>(fields.Number("resetlogs_id"));
    header.checkpointSequence = static_cast<unsigned>(fields.Number("checkpoint_sequence"));
    header.checkpointScn = fields.Number("checkpoint_scn");
    header.checkpointTime = fields.Wide("checkpoint_time");
    header.fuzzy = fields.Number("fuzzy") != 0;
    header.fuzzySequence = static_cast<unsigned>(fields.Number("fuzzy_sequence"));
    return true;
}

bool ReadDataFileHeader(const std::wstring& path, DataFileHeader& header) {
    InputFile file(path);
    std::string bytes;
    return file.Read(kDataFileHeaderSize, bytes) && ParseDataFileHeader(bytes, header);
}

bool WriteDataFileHeader(const std::wstring& path, const DataFileHeader& header) {
    DataFileHeader old;
    return ReadDataFileHeader(path, old) && WriteFileAt(path, 0, FormatDataFileHeader(header));
}

bool Checkpoint(const DatabaseFiles& files, ControlFile& controlFile) {
    const unsigned long long scn = controlFile.NextScn();
    const std::wstring time = Timestamp();
    bool all = true;
    for (const SimulatedDataFile& dataFile : SimulatedDataFiles()) {
        DataFileHeader header;
        if (!ReadDataFileHeader(files.DataFile(dataFile), header)) {
            all = false;
            continue;
        }
        header.resetlogsId = controlFile.resetlogsId;
        header.checkpointSequence = controlFile.currentSequence;
        header.checkpointScn = scn;
        header.checkpointTime = time;
        header.fuzzy = false;
        header.fuzzySequence = 0;
        all = WriteDataFileHeader(files.DataFile(dataFile), header) && all;
    }
    controlFile.checkpointSequence = controlFile.currentSequence;
    return all;
}

} // namespace simoracle
