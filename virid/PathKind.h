// What a path names, without following a link at its end: the packer's one test for links.
// Windows links (symbolic links, junctions, any reparse point) are seen from the file
// attributes, since the standard library of some Windows compilers follows them when asked for
// the status of the link itself.
#pragma once

#include <filesystem>

namespace VIRid {

enum class PathKind {
    Missing,
    Folder,
    File,
    LinkOrSpecial, // a link (even a dangling one), a reparse point, a device, pipe or socket
    Unknown,       // the path could not be examined
};

PathKind KindOf(const std::filesystem::path& path);

} // namespace VIRid
