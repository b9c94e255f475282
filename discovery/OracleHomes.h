// The Oracle homes registered on this machine, read from Oracle's registration under
// HKEY_LOCAL_MACHINE\SOFTWARE\ORACLE.
#pragma once

#include <map>
#include <string>

// Home name ("ORACLE_HOME_NAME") -> home directory ("ORACLE_HOME", exactly as registered).
// Ordered by ordinal, case-sensitive comparison: "DB" and "db" are two homes, "DB" first.
typedef std::map<std::wstring, std::wstring> OracleHomeTable;

// Reads the registry afresh on every call; keeps nothing. Only subkeys whose names begin with
// "KEY_" (case-sensitive) and hold both string values count; when two carry the same home name,
// the one enumerated first stays. No home, or no SOFTWARE\ORACLE key at all: an empty table.
OracleHomeTable GetOracleHomes();
