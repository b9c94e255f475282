// Standard input and output of the Recovery Manager simulator, as a Windows console program
// writes them: UTF-8, lines ended by CR LF.
#pragma once

#include <string>

namespace rmansim {

class Output {
public:
    Output();
    // One byte per write, so that a reader meets lines and UTF-8 sequences cut anywhere.
    void SetTrickle(bool trickle) { trickle_ = trickle; }
    // Writes text to standard output; every "\n" goes out as CR LF.
    void Write(const std::wstring& text);
    // Writes one line (a line end is added).
    void Line(const std::wstring& text) { Write(text + L"\n"); }
    void WriteError(const std::wstring& text);

private:
    void WriteBytes(void* handle, const std::string& bytes);

    void* stdout_;
    void* stderr_;
    bool trickle_;
};

class Input {
public:
    Input();
    // One line without its line end; false at the end of input with nothing left.
    bool ReadLine(std::wstring& line);

private:
    void* stdin_;
    std::string pending_;
    bool ended_;
};

} // namespace rmansim
