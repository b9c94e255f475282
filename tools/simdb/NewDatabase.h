// Creation of a simulated database's files: data files with content, control file, logs,
// server parameter file and password file; the database starts open.
#pragma once

#include "tools/simdb/DataFile.h"
#include "tools/simdb/Layout.h"
#include "tools/simdb/SimOracle.h"

#include <string>

namespace simoracle {

// Replaces whatever database files of that SID were there before; a bare instance keeps only
// the password file and the instance's own records (state and faults), and is down.
bool CreateDatabase(const DatabaseFiles& files, const InstanceOptions& options,
                    std::wstring& error);
// Writes a data file of that header and size whose blocks are deterministic content: the same
// seed gives the same blocks.
bool WriteNewDataFile(const std::wstring& path, const DataFileHeader& header,
                      const std::string& seed, unsigned long long size);

} // namespace simoracle
