// Gathers Recovery Manager commands from input lines: a command ends at a ';' outside quotes and
// may span lines (the continuation prompt "2> ", "3> " ... is written for each further line); a
// "connect" command also ends at its line end without ';', as Recovery Manager accepts it.
#pragma once

#include "tools/rman/ConsoleIo.h"

#include <string>

namespace rmansim {

class CommandReader {
public:
    CommandReader(Input& input, Output& output) : input_(input), output_(output) {}
    // The next command, with its ';' when it had one; false at the end of input (an unfinished
    // command is dropped).
    bool Next(std::wstring& command);
    // A line typed in answer to a question (a password, a confirmation).
    bool Answer(std::wstring& line) { return input_.ReadLine(line); }

private:
    Input& input_;
    Output& output_;
    std::wstring carry_; // what followed the last ';' on its line
};

// Position of the first ';' outside single and double quotes, or npos.
size_t FindCommandEnd(const std::wstring& text);
bool StartsWithWord(const std::wstring& text, const wchar_t* word);

} // namespace rmansim
