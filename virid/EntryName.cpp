#include "virid/EntryName.h"

#include "virid/Strings.h"

#include <cstring>

namespace VIRid {
namespace entryname {

namespace {

bool IsValidUtf8(const std::string& text) {
    return strings::WstrToUTF8(strings::UTF8toWstr(text)) == text &&
           text.find("\xEF\xBF\xBD") == std::string::npos;
}

std::string AsciiUpper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

// Windows opens the device for these names, with any extension.
bool IsReservedDeviceName(const std::string& component) {
    std::string base = AsciiUpper(component.substr(0, component.find('.')));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    static const char* const kDevices[] = {"CON",    "PRN",     "AUX",   "NUL",
                                           "CONIN$", "CONOUT$", "CLOCK$"};
    for (const char* device : kDevices) {
        if (base == device)
            return true;
    }
    if (base.size() >= 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0)) {
        const std::string number = base.substr(3);
        if (number.size() == 1 && number[0] >= '0' && number[0] <= '9')
            return true;
        // Superscript one, two and three count as digits too.
        if (number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3")
            return true;
    }
    return false;
}

bool IsSafeComponent(const std::string& component) {
    if (component.empty() || component == "..")
        return false;
    for (unsigned char c : component) {
        if (c < 0x20 || c == 0x7F || std::strchr("\\:*?\"<>|", c) != nullptr)
            return false;
    }
    const char last = component.back();
    return last != '.' && last != ' ' && !IsReservedDeviceName(component);
}

} // namespace

NameCheck Normalize(const std::string& stored, std::string& name) {
    name.clear();
    if (stored.empty() || stored.size() > kMaxLength || stored[0] == '/' || !IsValidUtf8(stored))
        return NameCheck::Unsafe;
    std::string rest = stored;
    if (rest.back() == '/')
        rest.pop_back(); // the mark of a folder
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find('/', start);
        if (end == std::string::npos)
            end = rest.size();
        const std::string component = rest.substr(start, end - start);
        if (component != ".") {
            if (!IsSafeComponent(component))
                return NameCheck::Unsafe;
            if (!name.empty())
                name += '/';
            name += component;
        }
        start = end + 1;
    }
    return name.empty() ? NameCheck::Root : NameCheck::Ok;
}

std::filesystem::path ToPath(const std::filesystem::path& folder, const std::string& name) {
#ifdef _WIN32
    return folder / std::filesystem::path(strings::UTF8toWstr(name)).make_preferred();
#else
    return folder / std::filesystem::path(name);
#endif
}

std::string FromPath(const std::filesystem::path& relative) {
#ifdef _WIN32
    return strings::WstrToUTF8(relative.generic_wstring());
#else
    return relative.generic_string();
#endif
}

} // namespace entryname
} // namespace VIRid
