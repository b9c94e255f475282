#include "rman/BackupPieceChoice.h"

#include "virid/Strings.h"

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

std::wstring NewestFileWithExtension(const std::vector<FolderFile>& files,
                                     const std::wstring& extension) {
    const FolderFile* newest = nullptr;
    if (extension.empty())
        return std::wstring();
    for (const FolderFile& file : files) {
        if (file.name.size() <= extension.size() || !EndsWithIgnoringCase(file.name, extension))
            continue;
        if (newest == nullptr || file.modified > newest->modified ||
            (file.modified == newest->modified && file.name > newest->name))
            newest = &file;
    }
    return newest != nullptr ? newest->name : std::wstring();
}
