#include "tools/pluginhost/HostLogger.h"

#include "virid/Strings.h"

#include <cstdio>

namespace {
const char* LevelPrefix(int32_t level) {
    switch (level) {
    case LogProgress:
        return "progress";
    case LogWarning:
        return "warning";
    case LogError:
        return "error";
    case LogDetail:
        return "rman";
    default:
        return "level?";
    }
}
} // namespace

void PrintText(FILE* stream, const std::wstring& text) {
    const std::string utf8 = VIRid::strings::WstrToUTF8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
}

void HostLogger::Log(int32_t level, const wchar_t* text) {
    const std::string line = std::string(LevelPrefix(level)) + ": " +
                             VIRid::strings::WstrToUTF8(text != nullptr ? text : L"") + "\n";
    std::lock_guard<std::mutex> lock(mutex_);
    if (level == LogError)
        ++errors_;
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

unsigned HostLogger::GetErrorCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
}
