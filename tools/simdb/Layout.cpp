#include "tools/simdb/Layout.h"

#include "virid/Strings.h"

namespace simoracle {

namespace {
std::wstring ZeroPadded(unsigned value, size_t width) {
    std::wstring text = std::to_wstring(value);
    return text.size() < width ? std::wstring(width - text.size(), L'0') + text : text;
}
} // namespace

const std::vector<SimulatedDataFile>& SimulatedDataFiles() {
    static const std::vector<SimulatedDataFile> dataFiles = {
        {1, L"SYSTEM01.DBF", L"SYSTEM", 40},
        {2, L"SYSAUX01.DBF", L"SYSAUX", 30},
        {3, L"UNDOTBS01.DBF", L"UNDOTBS1", 10},
        {4, L"USERS01.DBF", L"USERS", 20},
    };
    return dataFiles;
}

DatabaseFiles::DatabaseFiles(const std::wstring& home, const std::wstring& sid)
    : home_(home), sid_(sid) {
    while (!home_.empty() && (home_.back() == L'\\' || home_.back() == L'/'))
        home_.pop_back();
}

std::wstring DatabaseFiles::DataFolder() const {
    return home_ + L"\\oradata\\" + sid_;
}

std::wstring DatabaseFiles::DataFile(const SimulatedDataFile& dataFile) const {
    return DataFolder() + L"\\" + dataFile.name;
}

std::wstring DatabaseFiles::ControlFile() const {
    return DataFolder() + L"\\CONTROL01.CTL";
}

std::wstring DatabaseFiles::RedoLog() const {
    return DataFolder() + L"\\REDO01.LOG";
}

std::wstring DatabaseFiles::ArchiveFolder() const {
    return DataFolder() + L"\\archive";
}

std::wstring DatabaseFiles::ArchivedLog(unsigned resetlogsId, unsigned sequence) const {
    return ArchiveFolder() + L"\\ARC" + ZeroPadded(sequence, 10) + L"_" +
           ZeroPadded(resetlogsId, 4) + L".ARC";
}

std::wstring DatabaseFiles::InstanceFile() const {
    return DataFolder() + L"\\instance.state";
}

std::wstring DatabaseFiles::FaultFile() const {
    return DataFolder() + L"\\faults.txt";
}

std::wstring DatabaseFiles::WriteRateFile() const {
    return DataFolder() + L"\\write-rate.txt";
}

std::wstring DatabaseFiles::SpFile() const {
    return home_ + L"\\database\\SPFILE" + VIRid::strings::to_upper(sid_) + L".ORA";
}

std::wstring DatabaseFiles::StandInControlFile() const {
    return home_ + L"\\database\\CTL1" + VIRid::strings::to_upper(sid_) + L".ORA";
}

std::wstring DatabaseFiles::PasswordFile() const {
    return home_ + L"\\database\\PWD" + sid_ + L".ora";
}

std::wstring HomeFromImagePath(const std::wstring& imagePath) {
    const std::wstring upper = VIRid::strings::to_upper(imagePath);
    const size_t program = upper.rfind(L"\\BIN\\ORACLE.EXE");
    return program == std::wstring::npos ? std::wstring() : imagePath.substr(0, program);
}

} // namespace simoracle
