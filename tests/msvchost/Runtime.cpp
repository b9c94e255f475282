#include "Runtime.h"

extern "C" {
// Written with volatile so that the compiler does not turn the loops back into calls of these.
void* memset(void* target, int value, size_t size) {
    volatile unsigned char* out = static_cast<unsigned char*>(target);
    while (size-- > 0)
        *out++ = static_cast<unsigned char>(value);
    return target;
}
void* memcpy(void* target, const void* source, size_t size) {
    volatile unsigned char* out = static_cast<unsigned char*>(target);
    const unsigned char* in = static_cast<const unsigned char*>(source);
    while (size-- > 0)
        *out++ = *in++;
    return target;
}
}

namespace {
const size_t kBigThreshold = 4096;
const size_t kBigExtra = 8 + 32 - 1;

void* HeapBlock(size_t bytes) {
    void* block = HeapAlloc(GetProcessHeap(), 0, bytes == 0 ? 1 : bytes);
    if (block == nullptr)
        Fail("the process heap is exhausted");
    return block;
}

void FreeBlock(void* block) {
    if (!HeapValidate(GetProcessHeap(), 0, block))
        Fail("free of memory that the process heap does not own");
    HeapFree(GetProcessHeap(), 0, block);
}
} // namespace

void* Allocate(size_t bytes) {
    if (bytes < kBigThreshold)
        return HeapBlock(bytes);
    const uintptr_t block = reinterpret_cast<uintptr_t>(HeapBlock(bytes + kBigExtra));
    const uintptr_t memory = (block + kBigExtra) & ~static_cast<uintptr_t>(31);
    reinterpret_cast<uintptr_t*>(memory)[-1] = block;
    return reinterpret_cast<void*>(memory);
}

void Deallocate(void* memory, size_t bytes) {
    if (bytes < kBigThreshold)
        return FreeBlock(memory);
    const uintptr_t address = reinterpret_cast<uintptr_t>(memory);
    if ((address & 31) != 0)
        Fail("free of memory that the big-allocation rule did not produce (alignment)");
    const uintptr_t block = reinterpret_cast<uintptr_t*>(memory)[-1];
    if (block > address || address - block < 8 || address - block > kBigExtra)
        Fail("free of memory that the big-allocation rule did not produce (stored address)");
    FreeBlock(reinterpret_cast<void*>(block));
}

void Print(const char* text) {
    unsigned long written = 0;
    WriteFile(GetStdHandle(static_cast<unsigned long>(-11)), text,
              static_cast<unsigned long>(Length(text)), &written, nullptr);
}

void Print(const wchar_t* text) {
    for (; *text != 0; ++text) {
        const char one[2] = {*text < 128 ? static_cast<char>(*text) : '?', 0};
        Print(one);
    }
}

void Print(unsigned long long value) {
    char digits[24];
    int at = 23;
    digits[at] = 0;
    do {
        digits[--at] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    Print(digits + at);
}

void Fail(const char* what) {
    Print("FAIL: ", what, "\n");
    ExitProcess(1);
}
