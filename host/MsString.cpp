#include "host/MsString.h"

#include "host/MsAllocator.h"

#include <stdexcept>

namespace msstl {

namespace {

// The library rounds capacities up to 8k - 1 characters, so that a buffer is a whole number of
// 16-byte units; large enough for the length in any case.
const size_t kCapacityMask = 7;
const size_t kMaxLength = (static_cast<size_t>(PTRDIFF_MAX) / sizeof(Char)) - 1;

size_t BufferBytes(size_t capacity) {
    return (capacity + 1) * sizeof(Char);
}

// Copies length characters, unit by unit, and the terminating zero.
void CopyText(Char* target, const wchar_t* text, size_t length) {
    for (size_t i = 0; i < length; ++i)
        target[i] = static_cast<Char>(text[i]);
    target[length] = 0;
}

// A large-mode buffer for at least length characters holding text; its capacity in capacity.
Char* NewBuffer(const wchar_t* text, size_t length, size_t& capacity) {
    if (length > kMaxLength)
        throw std::length_error("string too long");
    capacity = length | kCapacityMask;
    Char* buffer = static_cast<Char*>(Allocate(BufferBytes(capacity)));
    CopyText(buffer, text, length);
    return buffer;
}

} // namespace

void ConstructEmpty(WString& target) {
    target.buffer[0] = 0;
    target.size = 0;
    target.capacity = WString::kSmallCapacity;
}

void Construct(WString& target, const wchar_t* text, size_t length) {
    ConstructEmpty(target);
    Assign(target, text, length);
}

void Assign(WString& target, const wchar_t* text, size_t length) {
    if (length <= target.capacity) {
        CopyText(target.IsLarge() ? target.pointer : target.buffer, text, length);
        target.size = length;
        return;
    }
    size_t capacity = 0;
    Char* buffer = NewBuffer(text, length, capacity);
    Destroy(target);
    target.pointer = buffer;
    target.size = length;
    target.capacity = capacity;
}

void Destroy(WString& target) {
    if (target.IsLarge())
        Deallocate(target.pointer, BufferBytes(target.capacity));
    ConstructEmpty(target);
}

} // namespace msstl
