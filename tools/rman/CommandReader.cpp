#include "tools/rman/CommandReader.h"

#include <cwctype>

namespace rmansim {

namespace {

std::wstring TrimLeft(const std::wstring& text) {
    size_t start = 0;
    while (start < text.size() && std::iswspace(text[start]))
        ++start;
    return text.substr(start);
}

bool IsBlank(const std::wstring& text) {
    return TrimLeft(text).empty();
}

} // namespace

size_t FindCommandEnd(const std::wstring& text) {
    wchar_t quote = 0;
    unsigned depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
        } else if (c == L'\'' || c == L'"') {
            quote = c;
        } else if (c == L'{') {
            ++depth;
        } else if (c == L'}' && depth > 0) {
            if (--depth == 0)
                return i;
        } else if (c == L';' && depth == 0) {
            return i;
        }
    }
    return std::wstring::npos;
}

bool StartsWithWord(const std::wstring& text, const wchar_t* word) {
    const std::wstring trimmed = TrimLeft(text);
    size_t i = 0;
    for (; word[i] != 0; ++i)
        if (i >= trimmed.size() || std::towlower(trimmed[i]) != word[i])
            return false;
    return i == trimmed.size() || std::iswspace(trimmed[i]) || trimmed[i] == L';';
}

bool CommandReader::Next(std::wstring& command) {
    std::wstring text = carry_;
    carry_.clear();
    unsigned lines = IsBlank(text) ? 0 : 1;
    for (;;) {
        const size_t end = FindCommandEnd(text);
        if (end != std::wstring::npos) {
            command = TrimLeft(text.substr(0, end + 1));
            carry_ = TrimLeft(text.substr(end + 1));
            return true;
        }
        if (lines > 0 && StartsWithWord(text, L"connect")) {
            command = TrimLeft(text);
            return true;
        }
        if (lines > 0)
            output_.Write(std::to_wstring(lines + 1) + L"> ");
        std::wstring line;
        if (!input_.ReadLine(line))
            return false;
        if (lines == 0 && IsBlank(line))
            continue;
        if (lines > 0)
            text += L"\n";
        text += line;
        ++lines;
    }
}

} // namespace rmansim
