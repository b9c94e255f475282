// Inspection and damage of a simulated database, for tests and demonstrations.
#include "tools/simdb/SimOracle.h"

#include "tools/simdb/Clock.h"
#include "tools/simdb/ControlFile.h"
#include "tools/simdb/DataFile.h"
#include "tools/simdb/FileIo.h"
#include "tools/simdb/Instance.h"
#include "tools/simdb/Layout.h"
#include "tools/simdb/Redo.h"
#include "tools/simdb/Sha256.h"
#include "virid/Strings.h"

#include <windows.h>

namespace simoracle {

std::string Digest(const std::wstring& homeDir, const std::wstring& sid, std::wstring& error) {
    const DatabaseFiles files(homeDir, sid);
    Sha256 hash;
    for (const SimulatedDataFile& dataFile : SimulatedDataFiles()) {
        DataFileHeader header;
        InputFile file(files.DataFile(dataFile));
        std::string headerBytes;
        if (!file.Read(kDataFileHeaderSize, headerBytes) ||
            !ParseDataFileHeader(headerBytes, header)) {
            error = L"data file " + files.DataFile(dataFile) + L" is missing or damaged";
            return std::string();
        }
        // The name and the blocks: headers change with every checkpoint, the data does not.
        hash.Update(VIRid::strings::WstrToUTF8(dataFile.name));
        hash.Update("\n", 1);
        std::string buffer(1 << 20, '\0');
        for (;;) {
            size_t got = 0;
            if (!file.ReadSome(&buffer[0], buffer.size(), got)) {
                error = L"cannot read " + files.DataFile(dataFile) + L": " + LastErrorText();
                return std::string();
            }
            if (got == 0)
                break;
            hash.Update(buffer.data(), got);
        }
    }
    return ToHex(hash.Finish());
}

DatabaseState GetState(const std::wstring& homeDir, const std::wstring& sid) {
    return LoadInstance(DatabaseFiles(homeDir, sid)).state;
}

bool Wreck(const std::wstring& homeDir, const std::wstring& sid, WreckScope scope,
           std::wstring& error) {
    const DatabaseFiles files(homeDir, sid);
    if (!FolderExists(files.DataFolder())) {
        error = L"no database " + sid + L" under " + homeDir;
        return false;
    }
    InstanceState crashed;
    crashed.state = DatabaseState::Down;
    crashed.cleanShutdown = false;
    if (!SaveInstance(files, crashed)) {
        error = L"cannot stop the instance of " + sid;
        return false;
    }
    std::vector<std::wstring> victims;
    for (const SimulatedDataFile& dataFile : SimulatedDataFiles())
        victims.push_back(files.DataFile(dataFile));
    if (scope != WreckScope::DataFiles)
        victims.push_back(files.ControlFile());
    if (scope == WreckScope::All) {
        victims.insert(victims.end(),
                       {files.SpFile(), files.StandInControlFile(), files.RedoLog()});
        for (const std::wstring& name : ListFolder(files.ArchiveFolder(), false))
            victims.push_back(files.ArchiveFolder() + L"\\" + name);
    }
    for (const std::wstring& victim : victims)
        if (FileExists(victim) && !DeleteFileW(victim.c_str())) {
            error = L"cannot destroy " + victim + L": " + LastErrorText();
            return false;
        }
    return true;
}

bool Touch(const std::wstring& homeDir, const std::wstring& sid, ChangePoint& point,
           std::wstring& error) {
    const DatabaseFiles files(homeDir, sid);
    ControlFile controlFile;
    if (LoadInstance(files).state != DatabaseState::Open ||
        !LoadControlFile(files.ControlFile(), controlFile)) {
        error = L"the database " + sid + L" is not open";
        return false;
    }
    const SimulatedDataFile& changed = SimulatedDataFiles().back();
    const std::wstring path = files.DataFile(changed);
    DataFileHeader header;
    InputFile file(path);
    std::string bytes;
    // A change counter in the first block: every touch alters the digest.
    if (!file.Read(kDataFileHeaderSize + 8, bytes) || !ParseDataFileHeader(bytes, header)) {
        error = L"data file " + path + L" is missing or damaged";
        return false;
    }
    unsigned long long changes = 0;
    for (size_t i = 0; i < 8; ++i)
        changes |= static_cast<unsigned long long>(
                       static_cast<unsigned char>(bytes[kDataFileHeaderSize + i]))
                   << (8 * i);
    ++changes;
    RedoChange change;
    change.scn = controlFile.NextScn();
    change.time = Timestamp();
    change.fileNumber = changed.number;
    change.offset = kDataFileHeaderSize;
    for (size_t i = 0; i < 8; ++i)
        change.bytes += static_cast<char>((changes >> (8 * i)) & 0xFF);
    // The redo first, as the database writes it ahead of the data.
    if (!RecordChange(files, controlFile, change) ||
        !WriteFileAt(path, change.offset, change.bytes) || !SwitchLog(files, controlFile) ||
        !SaveControlFile(files.ControlFile(), controlFile)) {
        error = L"cannot write the change to " + sid + L": " + LastErrorText();
        return false;
    }
    point.scn = change.scn;
    point.time = change.time;
    return true;
}

} // namespace simoracle
