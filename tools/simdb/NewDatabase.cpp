#include "tools/simdb/NewDatabase.h"

#include "tools/simdb/Clock.h"
#include "tools/simdb/ControlFile.h"
#include "tools/simdb/Faults.h"
#include "tools/simdb/FileIo.h"
#include "tools/simdb/Instance.h"
#include "tools/simdb/PasswordFile.h"
#include "tools/simdb/Redo.h"
#include "tools/simdb/Sha256.h"
#include "virid/FileSystem.h"
#include "virid/Strings.h"

#include <windows.h>

#include <cwctype>

namespace simoracle {

namespace {

const size_t kBlockSize = 8192;

std::wstring DatabaseName(const std::wstring& sid) {
    std::wstring name;
    for (wchar_t c : VIRid::strings::to_upper(sid))
        if (std::iswalnum(c) && name.size() < 8)
            name += c;
    return name.empty() ? L"SIMDB" : name;
}

unsigned long long NewDbid(const DatabaseFiles& files) {
    const std::string seed = VIRid::strings::WstrToUTF8(files.Home() + L"|" + files.Sid()) + "|" +
                             std::to_string(GetTickCount64()) + "|" +
                             std::to_string(GetCurrentProcessId());
    const std::string digest = Sha256Of(seed);
    unsigned long long value = 0;
    for (int i = 0; i < 8; ++i)
        value = (value << 8) | static_cast<unsigned char>(digest[static_cast<size_t>(i)]);
    return 1000000000ULL + value % 3000000000ULL;
}

std::string ServerParameters(const DatabaseFiles& files, const std::wstring& dbName) {
    const std::string name = VIRid::strings::WstrToUTF8(dbName);
    return "*.db_name='" + name + "'\r\n*.control_files='" +
           VIRid::strings::WstrToUTF8(files.ControlFile()) +
           "'\r\n*.log_archive_dest_1='LOCATION=" +
           VIRid::strings::WstrToUTF8(files.ArchiveFolder()) +
           "'\r\n*.compatible='19.0.0'\r\n*.db_block_size=8192\r\n*.processes=300\r\n"
           "*.sga_target=1024m\r\n*.undo_tablespace='UNDOTBS1'\r\n";
}

} // namespace

bool WriteNewDataFile(const std::wstring& path, const DataFileHeader& header,
                      const std::string& seed, unsigned long long size) {
    const std::string digest = Sha256Of(seed);
    unsigned long long state = 0x9E3779B97F4A7C15ULL;
    for (int i = 0; i < 8; ++i)
        state = (state << 8) ^ static_cast<unsigned char>(digest[static_cast<size_t>(i)]);
    if (state == 0)
        state = 1;
    OutputFile file(path);
    file.Write(FormatDataFileHeader(header));
    std::string chunk(1 << 20, '\0');
    for (unsigned long long done = 0; done < size && file.Ok(); done += chunk.size()) {
        if (size - done < chunk.size())
            chunk.resize(static_cast<size_t>(size - done));
        for (size_t i = 0; i < chunk.size(); i += 8) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            for (size_t b = 0; b < 8 && i + b < chunk.size(); ++b)
                chunk[i + b] = static_cast<char>((state >> (8 * b)) & 0xFF);
        }
        file.Write(chunk);
    }
    return file.Commit();
}

bool CreateDatabase(const DatabaseFiles& files, const InstanceOptions& options,
                    std::wstring& error) {
    if (FolderExists(files.DataFolder()) &&
        !VIRid::filesystem::DeleteNonEmptyFolder(files.DataFolder())) {
        error = L"cannot remove the old database under " + files.DataFolder();
        return false;
    }
    for (const std::wstring& old : {files.SpFile(), files.StandInControlFile()})
        if (FileExists(old) && !DeleteFileW(old.c_str())) {
            error = L"cannot remove " + old + L": " + LastErrorText();
            return false;
        }
    if (options.bare) {
        InstanceState down;
        if (!CreateFolders(files.DataFolder()) ||
            !WritePasswordFile(files, options.user, options.password) ||
            !SaveFaults(files, FaultSet()) || !SaveInstance(files, down)) {
            error = L"cannot write the files of " + files.Sid() + L": " + LastErrorText();
            return false;
        }
        return true;
    }
    if (!CreateFolders(files.ArchiveFolder()) || !CreateFolders(ParentFolder(files.SpFile()))) {
        error = L"cannot create " + files.DataFolder() + L": " + LastErrorText();
        return false;
    }
    ControlFile controlFile;
    controlFile.dbName = DatabaseName(files.Sid());
    controlFile.dbid = NewDbid(files);
    controlFile.archiveLogMode = options.archiveLog;
    controlFile.currentSequence = 1;
    controlFile.currentLowScn = controlFile.scn;
    controlFile.currentLowTime = Timestamp();
    controlFile.incarnations.push_back({1, controlFile.resetlogsId, 1, controlFile.currentLowTime});
    // A little history, as a database that has run for a while has.
    for (int i = 0; i < 2; ++i)
        if (!SwitchLog(files, controlFile)) {
            error = L"cannot write the redo logs under " + files.DataFolder();
            return false;
        }
    controlFile.checkpointSequence = controlFile.currentSequence;
    const unsigned long long checkpointScn = controlFile.NextScn();
    const std::wstring checkpointTime = Timestamp();
    const unsigned long long totalBytes = static_cast<unsigned long long>(options.sizeMb) << 20;
    for (const SimulatedDataFile& dataFile : SimulatedDataFiles()) {
        unsigned long long size = totalBytes / 100 * dataFile.sharePercent;
        size -= size % kBlockSize;
        if (size == 0)
            size = kBlockSize;
        DataFileHeader header;
        header.number = dataFile.number;
        header.dbid = controlFile.dbid;
        header.resetlogsId = controlFile.resetlogsId;
        header.checkpointSequence = controlFile.currentSequence;
        header.checkpointScn = checkpointScn;
        header.checkpointTime = checkpointTime;
        const std::string seed =
            std::to_string(controlFile.dbid) + ":" + std::to_string(dataFile.number);
        if (!WriteNewDataFile(files.DataFile(dataFile), header, seed, size)) {
            error = L"cannot write " + files.DataFile(dataFile) + L": " + LastErrorText();
            return false;
        }
    }
    InstanceState instance;
    instance.state = DatabaseState::Open;
    instance.cleanShutdown = false;
    if (!SaveControlFile(files.ControlFile(), controlFile) ||
        !WriteFileBytes(files.SpFile(), ServerParameters(files, controlFile.dbName)) ||
        !WritePasswordFile(files, options.user, options.password) ||
        !SaveFaults(files, FaultSet()) || !SaveInstance(files, instance) ||
        !SaveWriteRate(files, options.rateMbps)) {
        error = L"cannot write the files of " + files.Sid() + L": " + LastErrorText();
        return false;
    }
    return true;
}

} // namespace simoracle
