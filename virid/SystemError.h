// The system's own words for a Windows error code.
#pragma once

#include <string>

namespace VIRid {
namespace system {

// The message for the code, on one line without a full stop at its end ("There is not enough
// space on the disk"); "error N" when the system has none.
std::wstring ErrorText(unsigned long code);

} // namespace system
} // namespace VIRid
