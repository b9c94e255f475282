// The heap behind the host's operator new and delete: the Universal CRT's malloc and free, which
// allocate from the process heap. The Windows build calls the process heap directly, so that the
// plug-in and a host with any C runtime (static or dynamic) share one heap; the native build
// uses malloc and free, which the sanitizers can watch.
#pragma once

#include <cstddef>

namespace msstl {

// A block of at least bytes bytes; null when the heap is exhausted.
[[nodiscard]] void* CrtAllocate(size_t bytes);
// Returns a block from CrtAllocate; null is ignored.
void CrtFree(void* block);

} // namespace msstl
