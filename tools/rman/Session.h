// One Recovery Manager session: the target connection and the commands run against the
// simulated database of ORACLE_HOME and ORACLE_SID (or of the connect identifier).
#pragma once

#include "tools/rman/CommandReader.h"
#include "tools/rman/ConsoleIo.h"
#include "tools/rman/Tokens.h"
#include "tools/simdb/BackupPiece.h"
#include "tools/simdb/ControlFile.h"
#include "tools/simdb/Instance.h"
#include "tools/simdb/Layout.h"

#include <string>
#include <vector>

namespace rmansim {

class Session {
public:
    Session(Output& output, CommandReader& reader, const std::wstring& home,
            const std::wstring& sid);

    // The banner and the test faults that apply from the start (trickled output).
    void Begin();
    // Runs one command and writes its answer (without the prompt that follows it).
    void Execute(const std::wstring& command);
    bool Exiting() const { return exiting_; }

private:
    // Faults and failures.
    bool ApplyFaults(const std::wstring& command, const std::wstring& verb);
    void ErrorStack(const std::vector<std::wstring>& lines);
    // RMAN-03002: the command failed.
    void Fail(const std::wstring& verb, const std::vector<std::wstring>& causes);
    // RMAN-03009: the command failed on its disk channel (reading or writing files).
    void ChannelFailure(const std::wstring& verb, const std::vector<std::wstring>& causes);
    void SyntaxError(const std::wstring& found);
    void Warn(const std::wstring& text) { out_.Line(text); }

    // Connection and state.
    void Connect(const std::wstring& command);
    bool RequireConnection(const std::wstring& verb);
    simoracle::InstanceState Instance() const;
    // A stand-in instance is started only for the retrieval of the server parameter file.
    void SaveState(simoracle::DatabaseState state, bool clean, bool standIn = false);
    // The database must be mounted (or, when openAllowed, open); otherwise the failure is
    // reported with the Oracle error of the actual state and false returned.
    bool RequireMounted(const std::wstring& verb, bool openAllowed);
    bool LoadControl(simoracle::ControlFile& controlFile, const std::wstring& verb);
    // RequireMounted, then LoadControl: what every repository command starts with.
    bool LoadMountedControl(simoracle::ControlFile& controlFile, const std::wstring& verb,
                            bool openAllowed);
    bool SaveControl(const simoracle::ControlFile& controlFile, const std::wstring& verb);
    void UseChannel();
    void RepositoryNotice();
    std::wstring DatabaseNameFromParameters() const;

    // Instance commands.
    void Startup(TokenCursor& words);
    void Shutdown(TokenCursor& words);
    void AlterDatabase(TokenCursor& words);
    bool OpenDatabase(const std::wstring& verb, bool resetLogs);
    bool MountDatabase(const std::wstring& verb);
    // Starts the instance from its parameter file or, without one, the stand-in instance.
    void StartInstance(bool& parameterFileMissing);
    void PrintSystemGlobalArea();
    void Configure(const std::wstring& command, TokenCursor& words);
    void SetCommand(TokenCursor& words);
    void Host(TokenCursor& words);

    // Backups.
    void Backup(TokenCursor& words);
    struct BackupOptions {
        std::wstring tag;
        std::wstring format;
        bool hasFormat = false;
    };
    bool ReadBackupOptions(TokenCursor& words, BackupOptions& options);
    bool WriteBackupSet(simoracle::ControlFile& controlFile, const BackupOptions& options,
                        const std::vector<simoracle::PieceEntry>& entries,
                        const std::vector<std::wstring>& inputLines, const std::wstring& setKind,
                        unsigned lowestSequence, bool compressed);
    bool BackupDatafiles(simoracle::ControlFile& controlFile, const BackupOptions& options,
                         bool compressed);
    // The archived logs from fromSequence on that are on disk, as one set.
    bool BackupArchivedLogs(simoracle::ControlFile& controlFile, const BackupOptions& options,
                            bool compressed, bool required, unsigned fromSequence);
    simoracle::PieceEntry ControlFileEntry(const simoracle::ControlFile& controlFile) const;
    bool SpFileEntry(simoracle::PieceEntry& entry) const;

    // The repository.
    void Catalog(TokenCursor& words);
    void Crosscheck(TokenCursor& words);
    void Delete(TokenCursor& words);
    void List(TokenCursor& words);
    void Report(TokenCursor& words);
    void Show(TokenCursor& words);
    bool PieceAvailable(const simoracle::PieceRecord& piece) const;

    // Restore and recovery.
    void Restore(TokenCursor& words);
    void RestoreDatabase(const std::wstring& tag);
    void RestoreArchivedLogs();
    void RestoreFromFile(bool controlFile, const std::wstring& path);
    bool RestoreLogFromBackup(const simoracle::ControlFile& controlFile, unsigned sequence);
    void Recover(TokenCursor& words);

    Output& out_;
    CommandReader& reader_;
    std::wstring home_;
    simoracle::DatabaseFiles files_;
    bool connected_;
    bool channelAllocated_;
    bool repositoryNoticeShown_;
    bool exiting_;
    unsigned long long dbidSet_;
};

// The system change number shown for the start of a log sequence.
std::wstring ScnOf(unsigned sequence);

// The verb that "RMAN-03002: failure of <verb> command" names for a command.
std::wstring FailureVerb(const std::wstring& firstWord);

} // namespace rmansim
