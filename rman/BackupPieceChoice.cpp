#include "rman/BackupPieceChoice.h"

#include "virid/Strings.h"

#include <algorithm>

using VIRid::strings::AsciiLower;

bool EndsWithIgnoringCase(const std::wstring& text, const std::wstring& ending) {
    if (text.size() < ending.size())
        return false;
    const size_t offset = text.size() - ending.size();
    for (size_t i = 0; i < ending.size(); ++i)
        if (AsciiLower(text[offset + i]) != AsciiLower(ending[i]))
            return false;
    return true;
}

std::wstring TemplateExtension(const std::wstring& fileNameTemplate) {
    const size_t dot = fileNameTemplate.rfind(L'.');
    if (dot == std::wstring::npos)
        return std::wstring();
    std::wstring extension = fileNameTemplate.substr(dot);
    if (extension.find(L'%') != std::wstring::npos)
        return std::wstring();
    return extension;
}

std::vector<std::wstring> FilesWithExtensionNewestFirst(const std::vector<FolderFile>& files,
                                                        const std::wstring& extension) {
    std::vector<const FolderFile*> matching;
    if (extension.empty())
        return {};
    for (const FolderFile& file : files)
        if (file.name.size() > extension.size() && EndsWithIgnoringCase(file.name, extension))
            matching.push_back(&file);
    std::sort(matching.begin(), matching.end(), [](const FolderFile* a, const FolderFile* b) {
        return a->modified != b->modified ? a->modified > b->modified : a->name > b->name;
    });
    std::vector<std::wstring> names;
    for (const FolderFile* file : matching)
        names.push_back(file->name);
    return names;
}

std::wstring NewestFileWithExtension(const std::vector<FolderFile>& files,
                                     const std::wstring& extension) {
    const std::vector<std::wstring> names = FilesWithExtensionNewestFirst(files, extension);
    return names.empty() ? std::wstring() : names.front();
}
