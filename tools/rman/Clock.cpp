#include "tools/rman/Clock.h"

#include <windows.h>

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

unsigned long long Stamp() {
    FILETIME time;
    GetSystemTimeAsFileTime(&time);
    const unsigned long long ticks =
        (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return ticks / 10000000ULL - 11644473600ULL;
}

} // namespace rmansim
