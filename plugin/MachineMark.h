// A mark on a named thing (an Oracle instance, a job folder) held across every process of the
// machine for as long as the object lives. The system drops it when the holding process ends,
// however it ends, so a crashed job holds nothing.
#pragma once

#include "virid/Win32Handles.h"

#include <memory>
#include <string>

class MachineMark {
public:
    // The mark of key, compared exactly (callers fold case where names ignore it). Null when it
    // cannot be taken: busy tells whether another holder has it, or else the system refused the
    // mark itself.
    static std::shared_ptr<MachineMark> Acquire(const std::wstring& key, bool& busy);

private:
    explicit MachineMark(HANDLE mark) : mark(mark) {}
    VIRid::UniqueHandle mark;
};
