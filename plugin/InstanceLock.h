// Marks one Oracle instance as busy with a backup or restore job, across every process of the
// machine, for as long as the lock lives: two jobs on one instance would delete each other's
// tagged pieces, or restore over a backup in progress.
#pragma once

#include "virid/Win32Handles.h"

#include <memory>
#include <string>

class InstanceLock {
public:
    // The lock of the instance sid of the Oracle home homeDir (compared without regard to case).
    // Null when it cannot be taken: busy tells whether another job holds it, or else the system
    // refused the mark itself.
    static std::shared_ptr<InstanceLock> Acquire(const std::wstring& homeDir,
                                                 const std::wstring& sid, bool& busy);

private:
    explicit InstanceLock(HANDLE mark) : mark(mark) {}
    VIRid::UniqueHandle mark;
};
