// The boundary's catch. The host's compiler cannot unwind our frames, so no C++ exception may
// reach it: a standard-library exception (memory, string length) that leaves an operation ends
// here as an error message and a failure result.
#pragma once

#include "plugin/PluginContract.h"

#include <new>

namespace hostabi {

inline constexpr wchar_t kOutOfMemoryText[] = L"Not enough memory to complete the operation";
inline constexpr wchar_t kInternalFailureText[] = L"The operation failed inside the plug-in";

// operation(), or failure after an error message to logger when it throws.
template <typename Result, typename Operation>
[[nodiscard]] Result GuardForHost(PluginLogger& logger, Result failure,
                                  Operation operation) noexcept {
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        logger.Log(LogError, kOutOfMemoryText);
    } catch (...) {
        logger.Log(LogError, kInternalFailureText);
    }
    return failure;
}

} // namespace hostabi
