// Whole-file reading and writing and folder helpers for the simulated database files.
#pragma once

#include <string>
#include <vector>

namespace simoracle {

bool ReadFileBytes(const std::wstring& path, std::string& bytes);
// Writes through a temporary file beside path and then replaces path, so that a reader never
// meets a half-written file.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
// Creates the folder and any missing parents.
bool CreateFolders(const std::wstring& path);
// The folder part of a path (up to, not including, the last backslash or slash).
std::wstring ParentFolder(const std::wstring& path);
// Names (not paths) of the entries of a folder, files and folders, without "." and "..".
std::vector<std::wstring> ListFolder(const std::wstring& folder, bool folders);
// The folder of the running program, without a trailing backslash.
std::wstring ProgramFolder();
// The text of the last Windows error, as the system words it.
std::wstring LastErrorText();

} // namespace simoracle
