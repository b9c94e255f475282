#include "tools/simdb/Fields.h"

#include "tools/simdb/Sha256.h"
#include "virid/Strings.h"

#include <cstdlib>

namespace simoracle {

namespace {
const char kSealKey[] = "seal=";
}

void Fields::Add(const std::string& key, const std::string& value) {
    entries_.emplace_back(key, value);
}

void Fields::Add(const std::string& key, const std::wstring& value) {
    Add(key, VIRid::strings::WstrToUTF8(value));
}

void Fields::Add(const std::string& key, unsigned long long value) {
    Add(key, std::to_string(value));
}

std::string Fields::Text(const std::string& key) const {
    for (const auto& entry : entries_)
        if (entry.first == key)
            return entry.second;
    return std::string();
}

std::wstring Fields::Wide(const std::string& key) const {
    return VIRid::strings::UTF8toWstr(Text(key));
}

unsigned long long Fields::Number(const std::string& key) const {
    return std::strtoull(Text(key).c_str(), nullptr, 10);
}

bool Fields::Has(const std::string& key) const {
    for (const auto& entry : entries_)
        if (entry.first == key)
            return true;
    return false;
}

std::vector<std::string> Fields::All(const std::string& key) const {
    std::vector<std::string> values;
    for (const auto& entry : entries_)
        if (entry.first == key)
            values.push_back(entry.second);
    return values;
}

std::string Fields::Format() const {
    std::string text;
    for (const auto& entry : entries_)
        text += entry.first + "=" + entry.second + "\n";
    return text;
}

std::string Fields::FormatSealed() const {
    const std::string text = Format();
    return text + kSealKey + ToHex(Sha256Of(text)) + "\n";
}

bool Fields::Parse(const std::string& text, Fields& fields) {
    fields.entries_.clear();
    for (const std::string& line : SplitText(text, '\n')) {
        if (line.empty())
            continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            return false;
        fields.Add(line.substr(0, equals), line.substr(equals + 1));
    }
    return true;
}

bool Fields::ParseSealed(const std::string& text, Fields& fields) {
    const size_t seal = text.rfind(kSealKey);
    if (seal == std::string::npos || (seal > 0 && text[seal - 1] != '\n'))
        return false;
    std::string expected = text.substr(seal + sizeof kSealKey - 1);
    while (!expected.empty() && (expected.back() == '\n' || expected.back() == '\r'))
        expected.pop_back();
    const std::string body = text.substr(0, seal);
    return expected == ToHex(Sha256Of(body)) && Parse(body, fields);
}

std::vector<std::string> SplitText(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        if (end == std::string::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

} // namespace simoracle
