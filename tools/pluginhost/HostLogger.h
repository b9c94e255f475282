// The host's logger: every message on standard error, one line each, prefixed by its level.
// Safe to call from several threads.
#pragma once

#include "plugin/PluginContract.h"

#include <mutex>
#include <string>

class HostLogger : public PluginLogger {
public:
    void Log(int32_t level, const wchar_t* text) override;

    // Messages of level LogError seen so far, for the host's own verdict.
    unsigned GetErrorCount() const;

private:
    mutable std::mutex mutex_;
    unsigned errors_ = 0;
};

// Prints a wide text as UTF-8 to a standard stream.
void PrintText(FILE* stream, const std::wstring& text);
