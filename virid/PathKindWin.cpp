#include "virid/PathKind.h"

#include <windows.h>

namespace VIRid {

PathKind KindOf(const std::filesystem::path& path) {
    // The attributes of the link itself: GetFileAttributesW does not follow a reparse point.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathKind::Missing
                                                                              : PathKind::Unknown;
    }
    if (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE))
        return PathKind::LinkOrSpecial;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? PathKind::Folder : PathKind::File;
}

} // namespace VIRid
