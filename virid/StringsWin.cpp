#include "virid/Strings.h"

#include <windows.h>

namespace VIRid {
namespace strings {

std::wstring to_upper(const std::wstring& text) {
    if (text.empty())
        return text;
    // The invariant locale upper-cases the way Windows compares file names, independent of the
    // user's language settings.
    const int size = static_cast<int>(text.size());
    std::wstring result(text.size(), L'\0');
    const int written = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.c_str(), size,
                                      &result[0], size, nullptr, nullptr, 0);
    if (written != size)
        return text;
    return result;
}

} // namespace strings
} // namespace VIRid
