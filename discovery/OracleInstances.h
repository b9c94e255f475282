// The database instances that run from one Oracle home, read from the Windows service table
// (HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services).
#pragma once

#include <map>
#include <string>

// SID -> the service's whole "ImagePath" text. Ordered by ordinal, case-sensitive comparison.
typedef std::map<std::wstring, std::wstring> OracleInstanceTable;

// A service is an instance of the home when its key name begins with "OracleService"
// (case-sensitive) and its "ImagePath" holds a space and contains the home's directory, compared
// without regard to letter case (anywhere in the text, not only at its start). The SID is the
// text after the last space of "ImagePath", as stored (empty when it ends with a space); for a
// SID met twice the first service enumerated stays.
// A home name that is not registered (exact, case-sensitive) gives an empty table. Reads the
// registry afresh on every call.
OracleInstanceTable GetOracleInstances(const std::wstring& homeName);
