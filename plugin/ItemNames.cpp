#include "plugin/ItemNames.h"

#include "virid/Strings.h"

#include <utility>
#include <vector>

namespace {

typedef std::pair<std::wstring, std::wstring> Escape;

const Escape kPercentEscape(L"%", L"%25");

// Built once, when the library loads.
const std::vector<Escape> kEscapes = {
    {L"/", L"%2F"},  {L"\\", L"%5C"}, {L":", L"%3A"}, {L"*", L"%2A"}, {L"?", L"%3F"},
    {L"\"", L"%22"}, {L"<", L"%3C"},  {L">", L"%3E"}, {L"|", L"%7C"},
};

} // namespace

std::wstring EscapeItemName(const std::wstring& name) {
    // "%" first, so that the escapes written below are not escaped again.
    std::wstring result =
        VIRid::strings::Replace(name, kPercentEscape.first, kPercentEscape.second);
    for (const Escape& escape : kEscapes)
        result = VIRid::strings::Replace(result, escape.first, escape.second);
    return result;
}

std::wstring UnescapeItemName(const std::wstring& escapedName) {
    std::wstring result = escapedName;
    for (const Escape& escape : kEscapes)
        result = VIRid::strings::Replace(result, escape.second, escape.first);
    // "%25" last: a "%2F" that came from an escaped "%" must not turn into "/".
    return VIRid::strings::Replace(result, kPercentEscape.second, kPercentEscape.first);
}
