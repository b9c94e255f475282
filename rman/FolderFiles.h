// Listing the files of one folder (Windows).
#pragma once

#include "rman/BackupPieceChoice.h"

#include <string>
#include <vector>

// The files directly in folder (no subfolders, no entries of subfolders) with their last write
// times and sizes; empty when the folder cannot be read.
std::vector<FolderFile> ListFolderFiles(const std::wstring& folder);
