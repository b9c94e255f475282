// Shows how far a stream has moved: bytes so far and the rate, on standard error. On a terminal
// the line is refreshed in place; otherwise a line is written every few seconds.
#pragma once

#include <cstdint>
#include <string>

class ProgressMeter {
public:
    explicit ProgressMeter(const std::wstring& label);
    void Update(uint64_t totalBytes);
    // Writes the final figures.
    void Finish(uint64_t totalBytes);

private:
    void Show(uint64_t totalBytes, bool final);

    std::wstring label_;
    bool terminal_;
    uint64_t start_;
    uint64_t lastShown_;
};
