// The backup pieces in the job folder, read by the names that the job's templates give them.
#pragma once

#include "rman/BackupPieceNames.h"
#include "rman/OracleSettings.h"

#include <string>

// False, with the reason in error, when the folder holds no piece of the kind of backup or pieces
// that disagree on their database (see ReadBackupPieces).
bool ReadBackupFolder(const OracleSettings& settings, BackupKind kind, BackupPieces& pieces,
                      std::wstring& error);
