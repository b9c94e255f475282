// The text form of the simulator's small records: one "key=value" line per field, UTF-8, in the
// order written; a key may repeat. A sealed record ends with a "seal=" line holding the SHA-256
// of everything before it, so that damage is noticed when the record is read back.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace simoracle {

class Fields {
public:
    void Add(const std::string& key, const std::string& value);
    void Add(const std::string& key, const std::wstring& value);
    void Add(const std::string& key, unsigned long long value);

    // The first value of key; empty when absent.
    std::string Text(const std::string& key) const;
    std::wstring Wide(const std::string& key) const;
    unsigned long long Number(const std::string& key) const;
    bool Has(const std::string& key) const;
    std::vector<std::string> All(const std::string& key) const;

    std::string Format() const;
    std::string FormatSealed() const;
    // False when a line has no '='; keys and values are taken as they stand.
    static bool Parse(const std::string& text, Fields& fields);
    // False when the seal is missing or does not match.
    static bool ParseSealed(const std::string& text, Fields& fields);

private:
    std::vector<std::pair<std::string, std::string>> entries_;
};

// Splits text at every separator; an empty text gives one empty part.
std::vector<std::string> SplitText(const std::string& text, char separator);

} // namespace simoracle
