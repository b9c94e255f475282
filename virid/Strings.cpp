#include "virid/Strings.h"

#include <cstdint>

namespace VIRid {
namespace strings {

namespace {

const char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void AppendWide(std::wstring& out, char32_t code) {
    if (sizeof(wchar_t) == 2 && code >= 0x10000) {
        code -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (code >> 10));
        out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
    } else {
        out += static_cast<wchar_t>(code);
    }
}

bool IsSurrogate(char32_t code) {
    return code >= 0xD800 && code <= 0xDFFF;
}

} // namespace

std::string WstrToUTF8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t code = static_cast<char32_t>(text[i]);
        if (sizeof(wchar_t) == 2) {
            code &= 0xFFFF;
            if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size()) {
                const char32_t low = static_cast<char32_t>(text[i + 1]) & 0xFFFF;
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        if (IsSurrogate(code) || code > 0x10FFFF)
            code = kReplacement;
        AppendUtf8(out, code);
    }
    return out;
}

std::wstring UTF8toWstr(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    const size_t size = text.size();
    size_t i = 0;
    while (i < size) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const size_t length = Utf8SequenceLength(lead);
        if (length == 1) {
            out += static_cast<wchar_t>(lead);
            ++i;
            continue;
        }
        // The lead byte's own bits; a code below the least of its length is an overlong form.
        char32_t code = lead & (0x7F >> length);
        static const char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        // Take continuation bytes as far as they go; a sequence cut short becomes one
        // replacement character and the next byte starts afresh.
        size_t taken = 1;
        while (length != 0 && taken < length && i + taken < size &&
               IsUtf8Continuation(static_cast<unsigned char>(text[i + taken]))) {
            code = (code << 6) | (static_cast<unsigned char>(text[i + taken]) & 0x3F);
            ++taken;
        }
        if (length == 0 || taken != length || code < kLeast[length] || code > 0x10FFFF ||
            IsSurrogate(code)) {
            AppendWide(out, kReplacement);
        } else {
            AppendWide(out, code);
        }
        i += taken;
    }
    return out;
}

wchar_t AsciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c;
}

std::wstring Join(const std::vector<std::wstring>& parts, const std::wstring& separator) {
    std::wstring joined;
    for (size_t i = 0; i < parts.size(); ++i)
        joined += (i == 0 ? L"" : separator) + parts[i];
    return joined;
}

std::wstring TrimBlanks(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos)
        return std::wstring();
    return text.substr(first, text.find_last_not_of(L' ') + 1 - first);
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t position = 0;
    while (position < text.size()) {
        const size_t feed = text.find(L'\n', position);
        const size_t end = feed == std::wstring::npos ? text.size() : feed;
        lines.push_back(Replace(text.substr(position, end - position), L"\r", L""));
        if (feed == std::wstring::npos)
            break;
        position = feed + 1;
    }
    return lines;
}

bool ParseDecimal(const std::wstring& text, unsigned long long& number) {
    if (text.empty() || text.size() > 19)
        return false;
    unsigned long long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        value = value * 10 + static_cast<unsigned long long>(c - L'0');
    }
    number = value;
    return true;
}

size_t Utf8SequenceLength(unsigned char byte) {
    if (byte < 0x80)
        return 1;
    if ((byte & 0xE0) == 0xC0)
        return 2;
    if ((byte & 0xF0) == 0xE0)
        return 3;
    if ((byte & 0xF8) == 0xF0)
        return 4;
    return 0;
}

bool IsUtf8Continuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

std::wstring Replace(std::wstring text, const std::wstring& what, const std::wstring& with) {
    if (what.empty())
        return text;
    size_t position = text.find(what);
    while (position != std::wstring::npos) {
        text.replace(position, what.size(), with);
        position = text.find(what, position + with.size());
    }
    return text;
}

} // namespace strings
} // namespace VIRid
