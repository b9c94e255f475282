// Dates as Recovery Manager writes them.
#pragma once

#include <string>

namespace rmansim {

std::wstring CommandDate(); // MM/DD/YYYY HH24:MI:SS
std::wstring BannerDate();  // Sun Dec 6 12:49:14 2026
std::wstring CompactDate(); // YYYYMMDD
std::wstring DefaultTag();  // TAGYYYYMMDDTHHMMSS
unsigned long long Stamp(); // seconds, for record stamps

} // namespace rmansim
