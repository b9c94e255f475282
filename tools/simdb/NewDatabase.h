// Creation of a simulated database's files: data files with content, control file, logs,
// server parameter file and password file; the database starts open.
#pragma once

#include "tools/simdb/Layout.h"
#include "tools/simdb/SimOracle.h"

#include <string>

namespace simoracle {

// Replaces whatever database files of that SID were there before.
bool CreateDatabase(const DatabaseFiles& files, const InstanceOptions& options,
                    std::wstring& error);
// Deterministic content for a data file: the same seed gives the same blocks.
std::string GenerateBlocks(const std::string& seed, size_t size);

} // namespace simoracle
