// A restore job: the host writes a stream that a backup job made, unpacked into the job folder;
// Close has Recovery Manager restore and recover the database from it.
#pragma once

#include "plugin/Job.h"

class RestoreJob : public Job {
public:
    explicit RestoreJob(PluginImplementation& owner) : Job(owner) {}

    [[nodiscard]] int32_t Start() override;
    [[nodiscard]] int32_t Close(bool& keepJob) override;
    std::wstring CloseAtRelease() override;
    bool IsBackup() const override { return false; }

private:
    bool restoreAttempted = false; // a Close has run the restore before
};
