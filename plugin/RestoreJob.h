// A restore job: the host writes a stream that a backup job made, unpacked into the job folder;
// Close has Recovery Manager restore and recover the database from it.
#pragma once

#include "plugin/Job.h"

class RestoreJob : public Job {
public:
    enum class State {
        Receiving, // the host writes the stream
        Closing,   // Close restores
        Failed,    // the restore failed; the unpacked stream stays for another Close
    };

    explicit RestoreJob(PluginImplementation& owner) : Job(owner) {}

    [[nodiscard]] int32_t Start() override;
    [[nodiscard]] int32_t Close(bool& keepJob) override;
    std::wstring CloseAtRelease() override;
    bool IsBackup() const override { return false; }

private:
    State state = State::Receiving;
};
