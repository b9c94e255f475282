// Where the files of one simulated database live under its Oracle home.
//   <home>\database\PWD<SID>.ora       password file (the accepted credentials, hashed)
//   <home>\database\SPFILE<SID>.ORA    server parameter file
//   <home>\database\CTL1<SID>.ORA      control file of the stand-in instance (never mounted)
//   <home>\oradata\<SID>\*.DBF         data files
//   <home>\oradata\<SID>\CONTROL01.CTL control file
//   <home>\oradata\<SID>\REDO01.LOG    online redo log
//   <home>\oradata\<SID>\archive\      archived logs
//   <home>\oradata\<SID>\instance.state the instance (down, started, mounted, open)
//   <home>\oradata\<SID>\faults.txt    test faults
#pragma once

#include <string>
#include <vector>

namespace simoracle {

struct SimulatedDataFile {
    unsigned number;
    const wchar_t* name;
    const wchar_t* tablespace;
    unsigned sharePercent; // of the database's size
};

// The data files of every simulated database, by file number.
const std::vector<SimulatedDataFile>& SimulatedDataFiles();

class DatabaseFiles {
public:
    DatabaseFiles(const std::wstring& home, const std::wstring& sid);

    const std::wstring& Home() const { return home_; }
    const std::wstring& Sid() const { return sid_; }
    std::wstring DataFolder() const;
    std::wstring DataFile(const SimulatedDataFile& dataFile) const;
    std::wstring ControlFile() const;
    std::wstring RedoLog() const;
    std::wstring ArchiveFolder() const;
    std::wstring ArchivedLog(unsigned resetlogsId, unsigned sequence) const;
    std::wstring InstanceFile() const;
    std::wstring FaultFile() const;
    std::wstring WriteRateFile() const;
    std::wstring SpFile() const;
    std::wstring StandInControlFile() const;
    std::wstring PasswordFile() const;

private:
    std::wstring home_;
    std::wstring sid_;
};

// The home directory written in a service's command line "<home>\bin\ORACLE.EXE <SID>".
std::wstring HomeFromImagePath(const std::wstring& imagePath);

} // namespace simoracle
