#include "virid/PathKind.h"

#include <system_error>

namespace VIRid {

namespace fs = std::filesystem;

PathKind KindOf(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (status.type() == fs::file_type::not_found)
        return PathKind::Missing;
    if (error)
        return PathKind::Unknown;
    if (fs::is_directory(status))
        return PathKind::Folder;
    return fs::is_regular_file(status) ? PathKind::File : PathKind::LinkOrSpecial;
}

} // namespace VIRid
