#include "host/CrtHeap.h"

#include <cstdlib>

namespace msstl {

void* CrtAllocate(size_t bytes) {
    return std::malloc(bytes == 0 ? 1 : bytes);
}

void CrtFree(void* block) {
    std::free(block);
}

} // namespace msstl
