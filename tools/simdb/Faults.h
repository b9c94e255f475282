// Test faults of one simulated database, kept beside its files and read by rman.exe before each
// command.
#pragma once

#include "tools/simdb/Layout.h"
#include "tools/simdb/SimOracle.h"

#include <string>
#include <vector>

namespace simoracle {

struct CommandFault {
    FaultKind kind;
    std::wstring pattern;
    std::vector<std::wstring> text; // lines of the fault's own text; empty: the default text
};

struct FaultSet {
    std::vector<CommandFault> commandFaults;
    bool trickle = false;

    // The first fault of the given kind whose pattern matches the normalised command, or null.
    const CommandFault* Find(FaultKind kind, const std::wstring& normalisedCommand) const;
};

FaultSet LoadFaults(const DatabaseFiles& files);
bool SaveFaults(const DatabaseFiles& files, const FaultSet& faults);

// Lower case, blanks (spaces, tabs, line ends) collapsed to one space, trimmed, without the
// trailing ';'.
std::wstring NormaliseCommand(const std::wstring& command);
// Exact match, or a prefix match when pattern ends with '*'.
bool PatternMatches(const std::wstring& pattern, const std::wstring& normalisedCommand);

const wchar_t* FaultKindName(FaultKind kind);
bool ParseFaultKind(const std::wstring& name, FaultKind& kind);

} // namespace simoracle
