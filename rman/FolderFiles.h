// Listing the files of one folder (Windows).
#pragma once

#include "rman/BackupPieceChoice.h"

#include <cstdint>
#include <string>
#include <vector>

// The files directly in folder (no subfolders, no entries of subfolders) with their last write
// times and sizes; empty when the folder cannot be read.
std::vector<FolderFile> ListFolderFiles(const std::wstring& folder);
// The bytes of the files directly in folder; 0 when it cannot be read.
std::uint64_t FolderBytes(const std::wstring& folder);
