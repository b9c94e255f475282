// Dates as Recovery Manager writes them.
#pragma once

#include <string>

namespace rmansim {

// MM/DD/YYYY HH24:MI:SS: how an error stack dates a failure, whatever the NLS settings.
std::wstring CommandDate();
std::wstring BannerDate();  // Sun Dec 6 12:49:14 2026
std::wstring CompactDate(); // YYYYMMDD
std::wstring DefaultTag();  // TAGYYYYMMDDTHHMMSS
unsigned long long Stamp(); // seconds, for record stamps

// A recorded moment (YYYY-MM-DD HH:MM:SS) as Recovery Manager shows dates: in NLS_DATE_FORMAT
// when NLS_LANG is set as well (Oracle reads the format only then), else as DD-MON-RR
// (24-MAY-20). The format's elements YYYY, RRRR, YY, RR, MM, MON, DD, HH24, HH12, HH, MI and SS
// are known, in either case; any other character stands for itself.
std::wstring ShownDate(const std::wstring& timestamp);
// The moment that an UNTIL TIME names, as YYYY-MM-DD HH:MM:SS: a to_date('value', 'mask')
// expression with the mask YYYY-MM-DD HH24:MI:SS, or a literal in the session's date format when
// that is the same. False for anything else (Oracle's ORA-01861).
bool ReadDateExpression(const std::wstring& text, std::wstring& timestamp);
// The present, as ShownDate shows it.
std::wstring ShownNow();

} // namespace rmansim
