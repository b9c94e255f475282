// Wide printf-style formatting into a wide string of any length.
//
// The format follows the Microsoft runtime's wide printf on every platform, so that command
// texts and messages read the same in every build:
//   %s   a wide text (const wchar_t*), %c a wide character,
//   %hs  a narrow text (const char*),
//   %I64d / %I64u a 64-bit integer, %d %u %x and the rest as in C.
// The result is measured before it is formatted; there is no length limit. A format that the
// runtime rejects gives the empty text.
#pragma once

#include <string>

std::wstring FormatString(const wchar_t* format, ...);
