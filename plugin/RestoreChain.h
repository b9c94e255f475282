// What a restore job's unpacked stream holds, read before Recovery Manager runs: a full stream or
// an archived-log stream of a chain, its database and the tag of its pieces.
#pragma once

#include "rman/OracleSettings.h"
#include "rman/RmanProcedures.h"

#include <string>

// Reads the stream in settings.tempFolder: its description (a stream without one is a full
// stream made before descriptions), then its pieces of that kind. settings takes the pieces'
// DBID and the tag they carry (the description's, or for an older stream the tag that every job
// shared then). False, with a text for the host saying that the database was not touched, when
// the description cannot be read or the stream holds no piece of its kind.
bool ReadRestoreStream(OracleSettings& settings, RestoreStream& stream, std::wstring& error);
