#include "tools/rman/Clock.h"

#include "tools/simdb/Clock.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>

namespace rmansim {

namespace {

SYSTEMTIME Now() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now;
}

std::wstring Two(unsigned value) {
    return (value < 10 ? L"0" : L"") + std::to_wstring(value);
}

std::wstring Variable(const wchar_t* name) {
    wchar_t value[256] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 256);
    return length > 0 && length < 256 ? std::wstring(value) : std::wstring();
}

// The session's date format, read once.
const std::wstring& DateFormat() {
    static const std::wstring format = [] {
        const std::wstring nls = Variable(L"NLS_DATE_FORMAT");
        return Variable(L"NLS_LANG").empty() || nls.empty() ? std::wstring(L"DD-MON-RR") : nls;
    }();
    return format;
}

bool StartsWithElement(const std::wstring& format, size_t at, const wchar_t* element) {
    const size_t length = std::wcslen(element);
    if (format.size() - at < length)
        return false;
    for (size_t i = 0; i < length; ++i)
        if (std::towupper(format[at + i]) != static_cast<wint_t>(element[i]))
            return false;
    return true;
}

// YYYY-MM-DD HH:MM:SS, each number of its full width.
bool IsTimestamp(const std::wstring& text) {
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int length = 0;
    return std::swscanf(text.c_str(), L"%4u-%2u-%2u %2u:%2u:%2u%n", &year, &month, &day, &hour,
                        &minute, &second, &length) == 6 &&
           length == 19 && text.size() == 19 && year >= 1000;
}

// text in upper case, its blanks left out.
std::wstring UpperWithoutBlanks(const std::wstring& text) {
    std::wstring kept;
    for (wchar_t c : text)
        if (c != L' ')
            kept += static_cast<wchar_t>(std::towupper(c));
    return kept;
}

} // namespace

std::wstring CommandDate() {
    const SYSTEMTIME now = Now();
    return Two(now.wMonth) + L"/" + Two(now.wDay) + L"/" + std::to_wstring(now.wYear) + L" " +
           Two(now.wHour) + L":" + Two(now.wMinute) + L":" + Two(now.wSecond);
}

std::wstring BannerDate() {
    static const wchar_t* days[] = {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
    static const wchar_t* months[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                      L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
    const SYSTEMTIME now = Now();
    return std::wstring(days[now.wDayOfWeek % 7]) + L" " + months[(now.wMonth + 11) % 12] + L" " +
           std::to_wstring(now.wDay) + L" " + Two(now.wHour) + L":" + Two(now.wMinute) + L":" +
           Two(now.wSecond) + L" " + std::to_wstring(now.wYear);
}

std::wstring CompactDate() {
    const SYSTEMTIME now = Now();
    return std::to_wstring(now.wYear) + Two(now.wMonth) + Two(now.wDay);
}

std::wstring DefaultTag() {
    const SYSTEMTIME now = Now();
    return L"TAG" + CompactDate() + L"T" + Two(now.wHour) + Two(now.wMinute) + Two(now.wSecond);
}

std::wstring ShownDate(const std::wstring& timestamp) {
    static const wchar_t* months[] = {L"JAN", L"FEB", L"MAR", L"APR", L"MAY", L"JUN",
                                      L"JUL", L"AUG", L"SEP", L"OCT", L"NOV", L"DEC"};
    unsigned year = 0, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    if (std::swscanf(timestamp.c_str(), L"%u-%u-%u %u:%u:%u", &year, &month, &day, &hour, &minute,
                     &second) != 6 ||
        month < 1 || month > 12)
        return timestamp;
    const std::wstring& format = DateFormat();
    std::wstring shown;
    for (size_t at = 0; at < format.size();) {
        const auto take = [&](const wchar_t* element, const std::wstring& value) {
            if (!StartsWithElement(format, at, element))
                return false;
            at += std::wcslen(element);
            shown += value;
            return true;
        };
        std::wstring monthName = months[month - 1];
        // The name follows the element's case: MON, Mon or mon.
        if (StartsWithElement(format, at, L"MON") && std::iswlower(format[at + 1]))
            for (size_t i = std::iswlower(format[at]) ? 0 : 1; i < monthName.size(); ++i)
                monthName[i] = static_cast<wchar_t>(std::towlower(monthName[i]));
        const unsigned hour12 = hour % 12 == 0 ? 12 : hour % 12;
        if (take(L"YYYY", std::to_wstring(year)) || take(L"RRRR", std::to_wstring(year)) ||
            take(L"HH24", Two(hour)) || take(L"HH12", Two(hour12)) || take(L"HH", Two(hour12)) ||
            take(L"MON", monthName) || take(L"MM", Two(month)) || take(L"YY", Two(year % 100)) ||
            take(L"RR", Two(year % 100)) || take(L"DD", Two(day)) || take(L"MI", Two(minute)) ||
            take(L"SS", Two(second)))
            continue;
        shown += format[at++];
    }
    return shown;
}

std::wstring ShownNow() {
    return ShownDate(simoracle::Timestamp());
}

unsigned long long Stamp() {
    FILETIME time;
    GetSystemTimeAsFileTime(&time);
    const unsigned long long ticks =
        (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return ticks / 10000000ULL - 11644473600ULL;
}

bool ReadDateExpression(const std::wstring& text, std::wstring& timestamp) {
    const std::wstring mask = L"YYYY-MM-DDHH24:MI:SS";
    const std::wstring squeezed = UpperWithoutBlanks(text);
    if (squeezed.compare(0, 8, L"TO_DATE(") == 0) {
        // to_date('value','mask'): the value keeps its blank, the mask is compared without them.
        const size_t open = text.find(L'\'');
        const size_t close = open == std::wstring::npos ? open : text.find(L'\'', open + 1);
        const size_t maskOpen = close == std::wstring::npos ? close : text.find(L'\'', close + 1);
        const size_t maskClose =
            maskOpen == std::wstring::npos ? maskOpen : text.find(L'\'', maskOpen + 1);
        if (maskClose == std::wstring::npos ||
            UpperWithoutBlanks(text.substr(maskOpen + 1, maskClose - maskOpen - 1)) != mask)
            return false;
        timestamp = text.substr(open + 1, close - open - 1);
        return IsTimestamp(timestamp);
    }
    timestamp = text;
    return UpperWithoutBlanks(DateFormat()) == mask && IsTimestamp(timestamp);
}

} // namespace rmansim
