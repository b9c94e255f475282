#include "host/CrtHeap.h"

#include <windows.h>

namespace msstl {

void* CrtAllocate(size_t bytes) {
    // The Universal CRT's malloc asks for at least one byte.
    return HeapAlloc(GetProcessHeap(), 0, bytes == 0 ? 1 : bytes);
}

void CrtFree(void* block) {
    if (block != nullptr)
        HeapFree(GetProcessHeap(), 0, block);
}

} // namespace msstl
