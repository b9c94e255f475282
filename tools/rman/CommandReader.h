// Gathers Recovery Manager commands from input lines: a command ends at a ';' outside quotes and
// braces, a "run { ... }" block at the brace that closes it (its statements end with ';' inside
// it), and either may span lines (the continuation prompt "2> ", "3> " ... is written for each
// further line) or share a line with others; a "connect" command also ends at its line end without
// ';', as Recovery Manager accepts it.
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

// Position of the first ';' outside single and double quotes and braces, or of the '}' that
// closes the first brace; npos when the command is not complete.
size_t FindCommandEnd(const std::wstring& text);
bool StartsWithWord(const std::wstring& text, const wchar_t* word);

} // namespace rmansim
