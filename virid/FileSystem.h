// File-system tests and removal of the utility library.
#pragma once

#include <string>

namespace VIRid {
namespace filesystem {

bool IsFolderExists(const wchar_t* path);
// True for an existing file that is not a folder.
bool IsFileExists(const wchar_t* path);
// Removes the folder and everything under it, read-only files included. A junction or symbolic
// link met inside (or the folder itself, when it is one) is removed as a link: what it points at
// is never touched. Goes on past a failure and returns false when anything stayed.
bool DeleteNonEmptyFolder(const std::wstring& path);
// The path as Windows spells it in full (GetFullPathNameW): backslashes, no doubled separators,
// no "." or "..". A separator at its end stays. Empty when it cannot be made.
std::wstring FullPathName(const std::wstring& path);

} // namespace filesystem
} // namespace VIRid
