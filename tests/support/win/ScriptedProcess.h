// Runs a console program over real pipes with a scripted standard input, for tests of the
// programs the project ships (rman.exe, simoracle.exe).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testing_support {

struct ScriptedRun {
    unsigned long exitCode = ~0ul; // stays so when the program cannot be started
    std::string output;            // standard output, bytes as written
    std::string errors;            // standard error
    unsigned outputReads = 0;      // reads that delivered standard-output bytes
};

// Starts commandLine with these variables added to (or replacing those of) the environment,
// writes script to its standard input and closes it, collects standard output and error until
// the program ends or timeoutMs has passed (then it is ended by force).
ScriptedRun RunScripted(const std::wstring& commandLine,
                        const std::vector<std::pair<std::wstring, std::wstring>>& environment,
                        const std::string& script, unsigned long timeoutMs);

// The path of a program in the folder of the running test program.
std::wstring ProgramBesideTests(const std::wstring& fileName);

} // namespace testing_support
