#include "tools/pluginhost/ProgressMeter.h"

#include "tools/pluginhost/HostLogger.h"
#include "virid/FormatString.h"

#include <windows.h>

#include <cstdio>
#include <io.h>

namespace {
const uint64_t kTerminalInterval = 200; // ms
const uint64_t kLogInterval = 5000;     // ms
const double kMiB = 1024.0 * 1024.0;
} // namespace

ProgressMeter::ProgressMeter(const std::wstring& label)
    : label_(label), terminal_(_isatty(_fileno(stderr)) != 0), start_(GetTickCount64()),
      lastShown_(start_) {}

void ProgressMeter::Update(uint64_t totalBytes) {
    const uint64_t now = GetTickCount64();
    if (now - lastShown_ >= (terminal_ ? kTerminalInterval : kLogInterval)) {
        lastShown_ = now;
        Show(totalBytes, false);
    }
}

void ProgressMeter::Finish(uint64_t totalBytes) {
    Show(totalBytes, true);
}

void ProgressMeter::Show(uint64_t totalBytes, bool final) {
    const double seconds = static_cast<double>(GetTickCount64() - start_) / 1000.0;
    const double mib = static_cast<double>(totalBytes) / kMiB;
    const double rate = seconds > 0 ? mib / seconds : 0.0;
    const std::wstring text =
        FormatString(L"%s: %.1f MiB, %.1f MiB/s, %.1f s", label_.c_str(), mib, rate, seconds);
    if (terminal_)
        PrintText(stderr, L"\r" + text + (final ? L"\n" : L"   "));
    else
        PrintText(stderr, text + L"\n");
    std::fflush(stderr);
}
