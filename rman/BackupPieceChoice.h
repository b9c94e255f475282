// Finding a backup piece among the files of a folder by the extension of its file-name template.
//
// Recovery Manager reads the file name of "restore ... from" literally, so a restore has to name
// the piece that the template produced, not the template.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FolderFile {
    std::wstring name;      // file name, without folder
    std::uint64_t modified; // last write time; larger is later
    std::uint64_t size = 0; // in bytes
};

// Whether text ends with ending, compared without regard to ASCII case, as Windows names are.
bool EndsWithIgnoringCase(const std::wstring& text, const std::wstring& ending);

// The template's extension: from its last dot to its end (".controlfile" of
// "%d-%I-%T-%U.controlfile"). Empty when the template has no dot or its extension holds a
// % variable, which no literal match could honour.
std::wstring TemplateExtension(const std::wstring& fileNameTemplate);

// The names of the files whose name ends with extension (as below), the most recently modified
// first (the greater name first among files of one time); none when extension is empty.
std::vector<std::wstring> FilesWithExtensionNewestFirst(const std::vector<FolderFile>& files,
                                                        const std::wstring& extension);
// The name of the most recently modified file whose name ends with extension (compared without
// regard to ASCII case, as Windows names are) and is longer than it; the greater name wins a tie.
// Empty when extension is empty or no file matches.
std::wstring NewestFileWithExtension(const std::vector<FolderFile>& files,
                                     const std::wstring& extension);
