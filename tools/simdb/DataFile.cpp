#include "tools/simdb/DataFile.h"

#include "tools/simdb/Fields.h"
#include "tools/simdb/FileIo.h"

namespace simoracle {

namespace {
const char kMagic[] = "SIMORA-DATAFILE-1";
}

std::string FormatDataFile(const DataFileHeader& header, const std::string& blocks) {
    Fields fields;
    fields.Add("format", std::string(kMagic));
    fields.Add("file", header.number);
    fields.Add("dbid", header.dbid);
    fields.Add("resetlogs_id", header.resetlogsId);
    fields.Add("checkpoint_sequence", header.checkpointSequence);
    fields.Add("fuzzy", header.fuzzy ? 1ULL : 0ULL);
    fields.Add("fuzzy_sequence", header.fuzzySequence);
    std::string bytes = fields.FormatSealed();
    bytes.resize(kDataFileHeaderSize, '\0');
    return bytes + blocks;
}

bool ParseDataFile(const std::string& bytes, DataFileHeader& header, std::string* blocks) {
    if (bytes.size() < kDataFileHeaderSize)
        return false;
    const std::string headerText = bytes.substr(0, bytes.find('\0'));
    Fields fields;
    if (headerText.size() >= kDataFileHeaderSize || !Fields::ParseSealed(headerText, fields) ||
        fields.Text("format") != kMagic)
        return false;
    header.number = static_cast<unsigned>(fields.Number("file"));
    header.dbid = fields.Number("dbid");
    header.resetlogsId = static_cast<unsigned>(fields.Number("resetlogs_id"));
    header.checkpointSequence = static_cast<unsigned>(fields.Number("checkpoint_sequence"));
    header.fuzzy = fields.Number("fuzzy") != 0;
    header.fuzzySequence = static_cast<unsigned>(fields.Number("fuzzy_sequence"));
    if (blocks != nullptr)
        *blocks = bytes.substr(kDataFileHeaderSize);
    return true;
}

bool ReadDataFile(const std::wstring& path, DataFileHeader& header, std::string* blocks) {
    std::string bytes;
    return ReadFileBytes(path, bytes) && ParseDataFile(bytes, header, blocks);
}

bool WriteDataFileHeader(const std::wstring& path, const DataFileHeader& header) {
    std::string blocks;
    DataFileHeader old;
    return ReadDataFile(path, old, &blocks) && WriteFileBytes(path, FormatDataFile(header, blocks));
}

bool Checkpoint(const DatabaseFiles& files, ControlFile& controlFile) {
    bool all = true;
    for (const DataFileSpec& spec : DataFileSpecs()) {
        DataFileHeader header;
        std::string blocks;
        if (!ReadDataFile(files.DataFile(spec), header, &blocks)) {
            all = false;
            continue;
        }
        header.resetlogsId = controlFile.resetlogsId;
        header.checkpointSequence = controlFile.currentSequence;
        header.fuzzy = false;
        header.fuzzySequence = 0;
        all = WriteFileBytes(files.DataFile(spec), FormatDataFile(header, blocks)) && all;
    }
    controlFile.checkpointSequence = controlFile.currentSequence;
    return all;
}

} // namespace simoracle
