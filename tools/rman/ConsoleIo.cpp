#include "tools/rman/ConsoleIo.h"

#include "virid/Strings.h"

#include <windows.h>

#include <algorithm>

namespace rmansim {

Output::Output()
    : stdout_(GetStdHandle(STD_OUTPUT_HANDLE)), stderr_(GetStdHandle(STD_ERROR_HANDLE)),
      trickle_(false) {}

void Output::Write(const std::wstring& text) {
    std::wstring windowsText;
    windowsText.reserve(text.size() + 16);
    for (wchar_t c : text) {
        if (c == L'\n')
            windowsText += L'\r';
        windowsText += c;
    }
    WriteBytes(stdout_, VIRid::strings::WstrToUTF8(windowsText));
}

void Output::WriteError(const std::wstring& text) {
    WriteBytes(stderr_, VIRid::strings::WstrToUTF8(text + L"\r\n"));
}

void Output::WriteBytes(void* handle, const std::string& bytes) {
    const size_t step = trickle_ ? 1 : bytes.size();
    for (size_t done = 0; done < bytes.size();) {
        DWORD written = 0;
        const DWORD part = static_cast<DWORD>(std::min(step, bytes.size() - done));
        // A reader that has gone away is no reason to stop: the command still runs to its end.
        if (!WriteFile(static_cast<HANDLE>(handle), bytes.data() + done, part, &written, nullptr) ||
            written == 0)
            return;
        done += written;
        if (trickle_)
            Sleep(0);
    }
}

Input::Input() : stdin_(GetStdHandle(STD_INPUT_HANDLE)), ended_(false) {}

bool Input::ReadLine(std::wstring& line) {
    for (;;) {
        const size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string bytes = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (!bytes.empty() && bytes.back() == '\r')
                bytes.pop_back();
            line = VIRid::strings::UTF8toWstr(bytes);
            return true;
        }
        if (ended_) {
            if (pending_.empty())
                return false;
            line = VIRid::strings::UTF8toWstr(pending_);
            pending_.clear();
            return true;
        }
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(static_cast<HANDLE>(stdin_), buffer, sizeof buffer, &got, nullptr) ||
            got == 0)
            ended_ = true;
        else
            pending_.append(buffer, got);
    }
}

} // namespace rmansim
