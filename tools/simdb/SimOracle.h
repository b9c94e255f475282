// The simulated Oracle installation: homes registered as an Oracle installer registers them, and
// one database per SID kept on disk under its home, so that its state outlives any process.
// rman.exe works on these databases; simoracle.exe and the tests create, inspect and damage them.
#pragma once

#include <string>
#include <vector>

namespace simoracle {

struct InstanceOptions {
    std::wstring user = L"system"; // credentials that "connect target user/password" accepts
    std::wstring password = L"manager";
    bool archiveLog = true; // false: NOARCHIVELOG (an online backup fails with ORA-19602)
    unsigned sizeMb = 4;    // total size of the data files' content
    // Only the service and the password file, as a fresh installation has them: no parameter
    // file, no control file, no data files; the instance is down.
    bool bare = false;
    double rateMbps = 0; // megabytes a second at which backups are written; 0: as fast as it can
};

enum class DatabaseState { Down, Started, Mounted, Open };

// Creates an Oracle home at dir: bin\rman.exe (copied from rman.exe beside the running program),
// network\ADMIN\tnsnames.ora, listener.ora, sqlnet.ora; registers HKLM\SOFTWARE\ORACLE\KEY_<name>
// with ORACLE_HOME_NAME=name, ORACLE_HOME=dir.
bool CreateHome(const std::wstring& name, const std::wstring& dir, std::wstring& error);
// Removes the registration (KEY_<name> and the OracleService keys of its instances) and dir.
bool RemoveHome(const std::wstring& name, std::wstring& error);
// Creates the database of sid in that home (open; down and without files when bare), its
// password file database\PWD<SID>.ora and the service key
// HKLM\SYSTEM\CurrentControlSet\Services\OracleService<SID> with ImagePath
// "<home>\bin\ORACLE.EXE <SID>".
bool CreateInstance(const std::wstring& homeName, const std::wstring& sid,
                    const InstanceOptions& options, std::wstring& error);
// SHA-256 (lower-case hex) over the database's data files; empty with error when missing.
std::string Digest(const std::wstring& homeDir, const std::wstring& sid, std::wstring& error);
DatabaseState GetState(const std::wstring& homeDir, const std::wstring& sid);
// What Wreck destroys: the data files; with them the control file; or every file of the
// database (parameter file, control file, data files, redo and archived logs), which leaves
// what a bare instance has.
enum class WreckScope { DataFiles, ControlFileToo, All };
// Abnormal shutdown and destruction of the files of that scope.
bool Wreck(const std::wstring& homeDir, const std::wstring& sid, WreckScope scope,
           std::wstring& error);
inline bool Wreck(const std::wstring& homeDir, const std::wstring& sid, bool controlFileToo,
                  std::wstring& error) {
    return Wreck(homeDir, sid, controlFileToo ? WreckScope::ControlFileToo : WreckScope::DataFiles,
                 error);
}
// A point in the database's history: a system change number and the database's time then
// (YYYY-MM-DD HH:MM:SS).
struct ChangePoint {
    unsigned long long scn = 0;
    std::wstring time;
};
// Changes the data of an open database, so that the digest changes: the change is made at a new
// SCN and recorded in the online log, which is then switched (and archived in ARCHIVELOG mode).
// point: the change's SCN and time; the database as it is now is the database at that SCN.
bool Touch(const std::wstring& homeDir, const std::wstring& sid, ChangePoint& point,
           std::wstring& error);

// Test faults, stored with the database, read by rman.exe at each command.
// command: the command text normalised (lower case, blanks collapsed, no trailing ';'), matched
// exactly, or as a prefix when it ends with '*' (e.g. L"backup*").
// Fail: the command fails with Recovery Manager's error stack; its cause lines are text, or an
// ORA-00600 naming the command when text is empty. Stderr: text (or an RMAN-00600 diagnostic)
// goes to standard error, one line each, and the command then runs. Die: the process ends in
// the middle of the command. Hang: the command never answers. Slow: it answers after 3 s.
// NoPiece: a backup reports its usual success, piece handles included, but writes no piece.
// RefuseDelete: a DELETE ARCHIVELOG without FORCE deletes none of the logs it names, each
// refused as the deletion policy refuses a log, with the text's lines (by default "RMAN-08138:
// warning: archived log not deleted - must create more backups") and the log's name, thread and
// sequence. DieMidway: the process ends once it has named the first piece of a data-file backup
// set that takes several pieces (a piece after it may be half written).
enum class FaultKind { Fail, Stderr, Die, Hang, Slow, NoPiece, RefuseDelete, DieMidway };
bool AddFault(const std::wstring& homeDir, const std::wstring& sid, FaultKind kind,
              const std::wstring& command, std::wstring& error,
              const std::vector<std::wstring>& text = {});
bool SetTrickle(const std::wstring& homeDir, const std::wstring& sid, bool oneByteAtATime,
                std::wstring& error);
bool ClearFaults(const std::wstring& homeDir, const std::wstring& sid, std::wstring& error);

// The directory registered for a home name; empty with error when it is not registered.
std::wstring FindHome(const std::wstring& name, std::wstring& error);
// The home of the instance sid, read from its service's ImagePath; empty with error when the
// service is missing.
std::wstring FindHomeOfInstance(const std::wstring& sid, std::wstring& error);

} // namespace simoracle
