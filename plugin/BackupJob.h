// A backup job: Recovery Manager writes the backup into the job folder, the host reads it as one
// stream, and the closing steps tidy up after it.
//
// Two ways (the job's PieceSize): 0 writes the whole backup before Open returns and streams the
// folder afterwards. Above 0 (full backups) Open returns once the database backup is under way
// and its first database piece is named; each piece is streamed as soon as it is complete
// (Recovery Manager has named it, nobody holds it open, its size stands) and leaves the folder
// once the host has read it, so that the folder holds about two pieces at a time while the host
// reads as fast as Recovery Manager writes.
#pragma once

#include "plugin/Job.h"
#include "rman/BackupDescription.h"
#include "rman/RmanProcedures.h"

#include <deque>
#include <vector>

class BackupJob : public Job {
public:
    enum class State {
        Dumping,   // Open: Recovery Manager writes
        Streaming, // the host reads (in the streamed way Recovery Manager may still write)
        Closing,   // Close runs the closing steps
        Failed,    // a step failed after Open: Read gives nothing more
    };

    explicit BackupJob(PluginImplementation& owner) : Job(owner) {}

    [[nodiscard]] int32_t Start() override;
    [[nodiscard]] int32_t Read(unsigned char* buffer, uint32_t& size) override;
    [[nodiscard]] int32_t Close(bool& keepJob) override;
    std::wstring CloseAtRelease() override;
    bool IsBackup() const override { return true; }

private:
    // A dump that cannot be streamed: the reason (level 2), the closing steps; Open fails.
    int32_t FailUnstreamed(const std::wstring& reason);
    // The description of the stream, as Recovery Manager lists the tag's backup sets.
    void Describe();
    // Streamed: what the packer needs next once it has handed out all it was given: the next
    // named piece once it is complete, or the end of the dump (the remaining files and the
    // manifest). False, with the reason reported, when the dump failed.
    bool FeedPacker();
    // Waits at most waitMs for the dump: the pieces it names are queued, its end handled. False,
    // with the reason reported, when it failed.
    bool FollowDump(unsigned waitMs);
    // Waits until nobody holds the piece open and its size stands; false with reason if it
    // does not come to be.
    bool AwaitCompletePiece(const std::wstring& path, std::wstring& reason);
    // The dump has ended: the database back as found (an offline backup is opened again), the
    // configuration files and the description written.
    void DumpEnded(bool copyConfiguration);
    // A failure after Open: the level-2 text, and nothing more is streamed. Always false.
    bool FailStream(const std::wstring& reason);
    void ReportProgress();
    void NoteStagedBytes();
    // The backup's closing steps (CompleteBackup); an error when the database could not be
    // brought back. False then.
    bool RestoreDatabaseState();

    State state = State::Dumping;
    BackupDescription description; // what the stream holds
    BackupRun run;
    std::deque<std::wstring> pendingPieces; // named, not yet given to the packer
    bool dumpEnded = false;
    bool broughtBack = false;      // the database has been brought back since the dump
    std::wstring bringBackFailure; // why it could not be, reported at Close
    struct GivenPiece {
        uint64_t bytes;
        bool database; // made by the database piece template
    };
    std::vector<GivenPiece> givenPieces; // given to the packer, in order
    uint64_t reportedPieces = 0;
    uint64_t stagingPeak = 0;
    uint64_t readSinceLastLook = 0;
    unsigned long long lastLook = 0; // when Read last looked at the dump (tick count)
};
