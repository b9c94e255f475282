// The instance of a simulated database: what a running Oracle instance would hold in memory,
// kept in a file so that it outlives every rman.exe process.
#pragma once

#include "tools/simdb/Layout.h"
#include "tools/simdb/SimOracle.h"

namespace simoracle {

struct InstanceState {
    DatabaseState state = DatabaseState::Down;
    // The last shutdown was orderly (the data files are consistent); false after a crash.
    bool cleanShutdown = true;
    // Started without a parameter file: the stand-in ("DUMMY") instance that Recovery Manager
    // starts to retrieve the server parameter file; it can never mount.
    bool standIn = false;
};

// A missing or unreadable state file means the instance is down after a crash.
InstanceState LoadInstance(const DatabaseFiles& files);
bool SaveInstance(const DatabaseFiles& files, const InstanceState& instance);
const wchar_t* StateName(DatabaseState state);

// The megabytes (10^6 bytes) a second at which Recovery Manager writes the database's backups;
// 0 (also when none was set): as fast as it can.
double LoadWriteRate(const DatabaseFiles& files);
bool SaveWriteRate(const DatabaseFiles& files, double megabytesPerSecond);

} // namespace simoracle
