// The names of the entries of a packed stream: relative, "/"-separated UTF-8 paths that are
// safe to create under the job folder on every platform.
#pragma once

#include <filesystem>
#include <string>

namespace VIRid {
namespace entryname {

// Longest name accepted, in bytes.
constexpr size_t kMaxLength = 4096;
// The name of a stream's last entry, the manifest of its files.
constexpr char kManifestName[] = "SHA256SUMS";

enum class NameCheck {
    Ok,     // name holds the normalized form
    Root,   // the name denotes the folder itself ("." or "./")
    Unsafe, // refused
};

// Brings a stored name to its normalized form (no leading "./", no "." components, no trailing
// "/") and refuses what could land outside the folder or mean something else on Windows:
// absolute paths, drive letters, UNC and device prefixes, ".." components, empty components,
// backslashes, ":" (alternate data streams), wildcard and control characters, components
// ending in a dot or blank, reserved device names (CON, NUL, COM1, ...) and text that is not
// valid UTF-8.
[[nodiscard]] NameCheck Normalize(const std::string& stored, std::string& name);

// The path of a normalized name under folder, and back.
std::filesystem::path ToPath(const std::filesystem::path& folder, const std::string& name);
std::string FromPath(const std::filesystem::path& relative);

} // namespace entryname
} // namespace VIRid
