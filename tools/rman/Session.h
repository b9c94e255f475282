// One Recovery Manager session: the target connection and the statements run against the
// simulated database of ORACLE_HOME and ORACLE_SID (or of the connect identifier).
#pragma once

#include "tools/rman/CommandReader.h"
#include "tools/rman/ConsoleIo.h"
#include "tools/rman/Requests.h"
#include "tools/rman/Tokens.h"
#include "tools/simdb/BackupPiece.h"
#include "tools/simdb/ControlFile.h"
#include "tools/simdb/DataFile.h"
#include "tools/simdb/Instance.h"
#include "tools/simdb/Layout.h"
#include "tools/simdb/Redo.h"
#include "tools/simdb/SimOracle.h"

#include <functional>
#include <string>
#include <vector>

namespace rmansim {

struct StopPoint;

class Session {
public:
    Session(Output& output, CommandReader& reader, const std::wstring& home,
            const std::wstring& sid);

    // The banner and the test faults that apply from the start (trickled output).
    void Begin();
    // Runs one command (a statement or a RUN block) and writes its answer (without the prompt
    // that follows it).
    void Execute(const std::wstring& command);
    bool Exiting() const { return exiting_; }

private:
    // The grammar (Statements.cpp): a table from statement keyword to the parser that reads the
    // rest of the statement into the action that runs it. Parsers only read: nothing runs before
    // the whole command has been read.
    struct Statement;
    using Action = std::function<void(Session&, const Statement&)>;
    struct Statement {
        std::wstring text; // as typed, without its ';'
        std::wstring verb; // as "RMAN-03002: failure of <verb> command" names it
        bool needsConnection = false;
        Action run;
    };
    enum class Place { Prompt, RunBlock, Anywhere };
    struct StatementRule {
        const wchar_t* keyword;
        Place place;
        bool needsConnection;
        // Reads the words after the keyword; false at the first word that does not fit.
        bool (*parse)(TokenCursor& words, Action& action);
    };
    static const StatementRule kStatements[];

    static const StatementRule* ReadKeyword(TokenCursor& words, Place place);
    // The rest of the statement after its keyword, to its end.
    static bool ReadRest(const StatementRule& rule, TokenCursor& words, Statement& statement);
    static bool ReadStatement(TokenCursor& words, Place place, Statement& statement);
    void RunCommand(TokenCursor& words);
    void KeywordError(const TokenCursor& words);
    void RunBlock(const std::vector<Statement>& statements);
    bool RunInBlock(const Statement& statement);

    // Parsers of the statements, beside their handlers.
    static bool ParseAllocate(TokenCursor& words, Action& action);
    static bool ParseAlterDatabase(TokenCursor& words, Action& action);
    static bool ParseBackup(TokenCursor& words, Action& action);
    static bool ParseCatalog(TokenCursor& words, Action& action);
    static bool ParseConfigure(TokenCursor& words, Action& action);
    static bool ParseConnect(TokenCursor& words, Action& action);
    static bool ParseCrosscheck(TokenCursor& words, Action& action);
    static bool ParseDelete(TokenCursor& words, Action& action);
    static bool ParseExit(TokenCursor& words, Action& action);
    static bool ParseHost(TokenCursor& words, Action& action);
    static bool ParseList(TokenCursor& words, Action& action);
    static bool ParseRecover(TokenCursor& words, Action& action);
    static bool ParseRelease(TokenCursor& words, Action& action);
    static bool ParseReport(TokenCursor& words, Action& action);
    static bool ParseRestore(TokenCursor& words, Action& action);
    static bool ParseRun(TokenCursor& words, Action& action);
    static bool ParseSetDbid(TokenCursor& words, Action& action);
    static bool ParseSet(TokenCursor& words, Action& action);
    static bool ParseShow(TokenCursor& words, Action& action);
    static bool ParseShutdown(TokenCursor& words, Action& action);
    static bool ParseStartup(TokenCursor& words, Action& action);
    static bool ReadBackupOptions(TokenCursor& words, BackupOptions& options);
    static bool ReadUntil(TokenCursor& words, UntilClause& until);

    // Faults and failures. An error stack is written when the command ends, after the channels of
    // a RUN block have been released, as Recovery Manager reports a job's errors.
    bool ApplyFaults(const std::wstring& statement, const std::wstring& verb);
    void ErrorStack(const std::vector<std::wstring>& lines);
    void WriteErrorStacks();
    // RMAN-03002: the command failed.
    void Fail(const std::wstring& verb, const std::vector<std::wstring>& causes);
    // RMAN-03009: the command failed on its disk channel (reading or writing files).
    void ChannelFailure(const std::wstring& verb, const std::vector<std::wstring>& causes);
    void SyntaxError(const std::wstring& found);

    // Connection and state.
    void Connect(const std::wstring& statement);
    void ReportConnection();
    void Exit();
    bool RequireConnection(const std::wstring& verb);
    simoracle::InstanceState Instance() const;
    // A stand-in instance is started only for the retrieval of the server parameter file.
    void SaveState(simoracle::DatabaseState state, bool clean, bool standIn = false);
    // The database must be mounted (or, when openAllowed, open); otherwise the failure is
    // reported with the Oracle error of the actual state and false returned.
    bool RequireMounted(const std::wstring& verb, bool openAllowed);
    bool LoadControl(simoracle::ControlFile& controlFile, const std::wstring& verb);
    // RequireMounted, then LoadControl.
    bool LoadMountedControl(simoracle::ControlFile& controlFile, const std::wstring& verb,
                            bool openAllowed);
    // LoadMountedControl (open allowed), then the repository notice: what the repository
    // commands and CONFIGURE start with.
    bool LoadRepository(simoracle::ControlFile& controlFile, const std::wstring& verb);
    bool SaveControl(const simoracle::ControlFile& controlFile, const std::wstring& verb);
    void RepositoryNotice();
    // "Starting <verb> at ...", then the repository notice and the channel.
    void StartJob(const std::wstring& verb);
    // The causes of a failure for want of a started instance.
    static std::vector<std::wstring> InstanceDownCauses();
    std::wstring DatabaseNameFromParameters() const;

    // Channels: the first one allocated in the RUN block, or the automatic ORA_DISK_1.
    void UseChannel();
    std::wstring ChannelName() const;
    std::wstring ChannelPrefix() const { return L"channel " + ChannelName() + L": "; }
    std::wstring ChannelSid() const;
    void Allocate(const Channel& channel);
    void Release(const std::wstring& name);
    void ReleaseBlockChannels();
    void SetCommand(const SetRequest& request);

    // Instance commands.
    void Startup(const StartupRequest& request);
    bool StartForStartup(const StartupRequest& request, bool& startedNow);
    void Shutdown(bool abort);
    void AlterDatabase(const AlterDatabaseRequest& request);
    bool OpenDatabase(const std::wstring& verb, bool resetLogs);
    bool CheckDataFileForOpen(const std::wstring& verb, const simoracle::ControlFile& controlFile,
                              const simoracle::SimulatedDataFile& dataFile, bool resetLogs);
    bool MountDatabase(const std::wstring& verb);
    // Starts the instance from its parameter file or, without one, the stand-in instance.
    void StartInstance(bool& parameterFileMissing);
    void PrintSystemGlobalArea();
    void Configure(const std::wstring& statement);
    void Host(const std::wstring& command);

    // Backups.
    void Backup(const BackupRequest& request);
    void BackupOneFile(simoracle::ControlFile& controlFile, const BackupRequest& request);
    void BackupAllArchivedLogs(simoracle::ControlFile& controlFile, const BackupRequest& request);
    void BackupDatabase(simoracle::ControlFile& controlFile, const BackupRequest& request);
    // Starts a backup, archiving the current log first when asked to; false when that failed.
    bool StartBackup(simoracle::ControlFile& controlFile, bool archiveCurrentLog);
    bool WriteBackupSet(simoracle::ControlFile& controlFile, const BackupOptions& options,
                        const std::vector<simoracle::PieceEntry>& entries,
                        const std::vector<std::wstring>& inputLines, const std::wstring& setKind,
                        unsigned lowestSequence, bool compressed);
    // Writes the set's pieces (handles: one per piece), naming each once it is complete.
    bool StorePieces(const std::vector<std::wstring>& handles, const simoracle::PieceHeader& header,
                     const std::vector<simoracle::PieceEntry>& entries, bool dataFiles);
    // The maxpiecesize of the block's channel; 0: none.
    unsigned long long MaxPieceSize() const;
    bool BackupDatafiles(simoracle::ControlFile& controlFile, const BackupOptions& options,
                         bool compressed);
    // checkpoint: the backup's, for a file copied while the database runs.
    bool DataFileEntry(const simoracle::ControlFile& controlFile,
                       const simoracle::SimulatedDataFile& dataFile,
                       const simoracle::ChangePoint& checkpoint, simoracle::PieceEntry& entry);
    // The archived logs from fromSequence on that are on disk, as one set.
    bool BackupArchivedLogs(simoracle::ControlFile& controlFile, const BackupOptions& options,
                            bool compressed, bool required, unsigned fromSequence);
    simoracle::PieceEntry ControlFileEntry(const simoracle::ControlFile& controlFile) const;
    bool SpFileEntry(simoracle::PieceEntry& entry) const;

    // The repository.
    void Catalog(const std::wstring& pattern, bool noPrompt);
    struct CatalogScan;
    CatalogScan ScanForCatalog(const simoracle::ControlFile& controlFile,
                               const std::wstring& pattern) const;
    void CatalogFound(simoracle::ControlFile& controlFile, CatalogScan& scan);
    void Crosscheck();
    void Delete(const DeleteRequest& request);
    void PrintPieceList(const simoracle::ControlFile& controlFile,
                        const std::vector<size_t>& chosen);
    void DeletePieces(simoracle::ControlFile& controlFile, const std::vector<size_t>& chosen);
    static bool ParseArchivedLogDeletion(TokenCursor& words, ArchivedLogDeleteRequest& request);
    void DeleteArchivedLogs(const ArchivedLogDeleteRequest& request, const std::wstring& statement);
    void List(const ListRequest& request);
    void ListArchivedLogs(const simoracle::ControlFile& controlFile);
    void PrintArchivedLogCopies(const simoracle::ControlFile& controlFile,
                                const std::vector<simoracle::RedoLog>& logs);
    void ListBackups(const std::vector<const simoracle::PieceRecord*>& pieces);
    void PrintBackupSet(const simoracle::PieceRecord& set);
    void PrintSetLogs(const simoracle::PieceRecord& set);
    void PrintSetDataFiles(const simoracle::PieceRecord& set);
    void Report();
    void Show();
    bool PieceAvailable(const simoracle::PieceRecord& piece) const;
    // Reads YES or anything else as the answer to a question.
    bool Confirmed(const std::wstring& question);

    // Restore and recovery.
    void Restore(const RestoreRequest& request);
    void RestoreDatabase(const std::wstring& tag);
    bool RestoreDataFilesFrom(const simoracle::PieceRecord& piece, unsigned long long dbid,
                              const std::vector<const simoracle::SimulatedDataFile*>& dataFiles);
    void RestoreArchivedLogs();
    void RestoreFromFile(bool controlFile, const std::wstring& path);
    bool InstanceTakesRestoreFromFile(bool controlFile);
    void WriteRestoredFile(bool controlFile, const std::string& data,
                           simoracle::ControlFile& restored);
    bool RestoreLogFromBackup(const simoracle::ControlFile& controlFile, unsigned sequence);
    void Recover(const UntilClause& untilClause);
    struct RecoveryFile {
        const simoracle::SimulatedDataFile* dataFile;
        simoracle::DataFileHeader header;
    };
    bool LoadRecoveryFiles(const simoracle::ControlFile& controlFile,
                           std::vector<RecoveryFile>& files);
    static unsigned RecoveryStart(const simoracle::ControlFile& controlFile,
                                  const std::vector<RecoveryFile>& files, bool bounded);
    // How far a recovery got: the first log sequence not applied in full, and the SCN and time
    // up to which the files hold the redo (0 before any log was applied).
    struct RecoveryProgress {
        unsigned sequence = 0;
        unsigned long long scn = 0;
        std::wstring time;
        bool pointReached = false;
    };
    void ApplyArchivedLogs(simoracle::ControlFile& controlFile, std::vector<RecoveryFile>& files,
                           const StopPoint& point, unsigned last, RecoveryProgress& progress);
    void ApplyChange(std::vector<RecoveryFile>& files, const simoracle::RedoChange& change);
    void AdvanceDataFiles(std::vector<RecoveryFile>& files, unsigned sequence,
                          unsigned long long scn, const std::wstring& time, bool wholeLogs);
    void FinishRecovery(simoracle::ControlFile& controlFile, std::vector<RecoveryFile>& files,
                        const StopPoint& point, unsigned last, const RecoveryProgress& progress);
    bool RollForwardOnlineLog(simoracle::ControlFile& controlFile, std::vector<RecoveryFile>& files,
                              const StopPoint& point);
    // Incarnations (IncarnationCommands.cpp).
    void ListIncarnations();
    // Opens a new incarnation at the control file's next SCN, its redo beginning at sequence 1.
    void BeginIncarnation(simoracle::ControlFile& controlFile);

    Output& out_;
    CommandReader& reader_;
    std::wstring home_;
    simoracle::DatabaseFiles files_;
    bool connected_;
    bool channelAllocated_;
    bool repositoryNoticeShown_;
    bool exiting_;
    unsigned long long dbidSet_;
    std::vector<std::vector<std::wstring>> errorStacks_; // of the command running
    bool failed_;                                        // the statement running has failed
    bool skipPieceWrites_;          // the statement running has the "nopiece" test fault
    bool dieMidway_;                // the command running has the "die-midway" test fault
    std::vector<Channel> channels_; // allocated in the RUN block running
    UntilClause blockUntil_;        // set in the RUN block running
};

// The system change number shown for the start of a log sequence.
std::wstring ScnOf(unsigned sequence);

// The verb that "RMAN-03002: failure of <verb> command" names for a command.
std::wstring FailureVerb(const std::wstring& firstWord);

// Five digits, with leading zeros, as Recovery Manager shows data file numbers.
std::wstring FiveDigits(unsigned number);

} // namespace rmansim
