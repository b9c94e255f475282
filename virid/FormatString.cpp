#include "virid/FormatString.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

#ifndef _WIN32
// Standard C reads %s in a wide format as a narrow text and knows no %I64d; rewrite the
// Microsoft spelling into the standard one.
std::wstring ToStandardFormat(const wchar_t* format) {
    std::wstring result;
    for (const wchar_t* p = format; *p != L'\0'; ++p) {
        result += *p;
        if (*p != L'%')
            continue;
        ++p;
        while (*p != L'\0' && std::wcschr(L"-+ #0123456789.*", *p) != nullptr)
            result += *p++;
        if (*p == L'\0')
            break;
        if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
            result += L"ll";
            p += 2;
        } else if (*p == L's' || *p == L'c') {
            result += L'l';
            result += *p;
        } else if (*p == L'h' && (p[1] == L's' || p[1] == L'c')) {
            // %hs is a narrow text in both spellings; the standard writes it without the h.
            ++p;
            result += *p;
        } else {
            result += *p;
        }
    }
    return result;
}

// Longest text the native build will format; it only serves tests and tools.
const size_t kNativeLimit = static_cast<size_t>(1) << 24;
#endif

} // namespace

std::wstring FormatString(const wchar_t* format, ...) {
#ifdef _WIN32
    // The Microsoft runtime's own functions, whatever printf MinGW would substitute: they read
    // %s as a wide text and can measure the result.
    va_list arguments;
    va_start(arguments, format);
    const int length = _vscwprintf(format, arguments);
    va_end(arguments);
    if (length <= 0)
        return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    va_start(arguments, format);
    const int written = _vsnwprintf(buffer.data(), buffer.size(), format, arguments);
    va_end(arguments);
    if (written != length)
        return std::wstring();
    return std::wstring(buffer.data(), static_cast<size_t>(written));
#else
    const std::wstring converted = ToStandardFormat(format);
    // vswprintf cannot measure, so the buffer grows until the text fits.
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list arguments;
        va_start(arguments, format);
        const int written =
            std::vswprintf(buffer.data(), buffer.size(), converted.c_str(), arguments);
        va_end(arguments);
        if (written >= 0 && static_cast<size_t>(written) < buffer.size())
            return std::wstring(buffer.data(), static_cast<size_t>(written));
        if (buffer.size() >= kNativeLimit)
            return std::wstring();
        buffer.resize(buffer.size() * 2);
    }
#endif
}
