// The environment that Recovery Manager starts with: the host process's own, with the variables
// that choose the instance and the language set for this console alone.
#pragma once

#include <string>
#include <utility>
#include <vector>

typedef std::vector<std::pair<std::wstring, std::wstring>> EnvironmentOverrides;

// An environment block for a new process: the "NAME=value" entries of current, each variable of
// overrides replacing an entry of the same name (compared without regard to case, as Windows
// does) or added; sorted by name without regard to case. Each entry ends with a zero, and one
// more zero ends the block.
std::wstring EnvironmentBlock(const std::vector<std::wstring>& current,
                              const EnvironmentOverrides& overrides);
