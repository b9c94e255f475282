// The backup pieces in the job folder, read by the names that the job's templates give them.
#pragma once

#include "rman/BackupPieceNames.h"
#include "rman/OracleSettings.h"

#include <string>

// False, with the reason in error, when the folder holds no database piece or pieces that
// disagree on their database (see ReadBackupPieces).
bool ReadBackupFolder(const OracleSettings& settings, BackupPieces& pieces, std::wstring& error);
