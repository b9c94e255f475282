// String functions of the utility library.
// WstrToUTF8 and UTF8toWstr never fail: an invalid sequence (a lone surrogate, a malformed or
// truncated UTF-8 sequence) becomes U+FFFD. All are safe to call from several threads at once.
#pragma once

#include <string>
#include <vector>

namespace VIRid {
namespace strings {

std::string WstrToUTF8(const std::wstring& text);
std::wstring UTF8toWstr(const std::string& text);
// An upper-cased copy, by the platform's case rule (Windows: the invariant locale).
std::wstring to_upper(const std::wstring& text);
// A copy of text in which every occurrence of what (not empty) is replaced by with.
std::wstring Replace(std::wstring text, const std::wstring& what, const std::wstring& with);
// c in lower case when it is an ASCII capital letter; any other character unchanged.
wchar_t AsciiLower(wchar_t c);
// The parts, separator between each two.
std::wstring Join(const std::vector<std::wstring>& parts, const std::wstring& separator);
// text without the blanks (spaces) at its start and its end.
std::wstring TrimBlanks(const std::wstring& text);
// The lines of text, split at line feeds, carriage returns removed; a last line without a line
// feed counts, an empty text has none.
std::vector<std::wstring> SplitLines(const std::wstring& text);
// text as a decimal number: ASCII digits only (no sign, no blank), at most 19 of them.
bool ParseDecimal(const std::wstring& text, unsigned long long& number);

// The length of the UTF-8 sequence that byte leads: 1 for ASCII, 2 to 4 for a lead byte; 0 for
// a continuation byte and for a byte that leads no sequence (0xF8 to 0xFF).
size_t Utf8SequenceLength(unsigned char byte);
// byte continues a UTF-8 sequence (10xxxxxx).
bool IsUtf8Continuation(unsigned char byte);

} // namespace strings
} // namespace VIRid
