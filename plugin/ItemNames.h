// Item names handed to the host hold none of the characters that Windows file names cannot
// hold (the backslash among them, which separates the parts of an item path). Each such
// character, and the escape character "%" itself, is written as "%" and its two hex digits.
// UnescapeItemName(EscapeItemName(name)) == name for every name.
#pragma once

#include <string>

std::wstring EscapeItemName(const std::wstring& name);
std::wstring UnescapeItemName(const std::wstring& escapedName);
