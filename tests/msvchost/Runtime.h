// The little that a program without a C runtime needs: the system functions it calls, memory
// by the Microsoft C++ library's allocation rule with checks, and plain-text output.
#pragma once

typedef decltype(sizeof(0)) size_t;
typedef unsigned long long uintptr_t;
typedef void* HANDLE;

extern "C" {
__declspec(dllimport) HANDLE __stdcall GetProcessHeap();
__declspec(dllimport) void* __stdcall HeapAlloc(HANDLE heap, unsigned long flags, size_t bytes);
__declspec(dllimport) int __stdcall HeapFree(HANDLE heap, unsigned long flags, void* block);
__declspec(dllimport) int __stdcall HeapValidate(HANDLE heap, unsigned long flags,
                                                 const void* block);
__declspec(dllimport) void* __stdcall LoadLibraryW(const wchar_t* path);
__declspec(dllimport) void* __stdcall GetProcAddress(void* module, const char* name);
__declspec(dllimport) const wchar_t* __stdcall GetCommandLineW();
__declspec(dllimport) HANDLE __stdcall GetStdHandle(unsigned long which);
__declspec(dllimport) int __stdcall WriteFile(HANDLE file, const void* data, unsigned long size,
                                              unsigned long* written, void* overlapped);
__declspec(dllimport) __declspec(noreturn) void __stdcall ExitProcess(unsigned code);
__declspec(dllimport) int __stdcall CreateProcessW(const wchar_t*, wchar_t*, void*, void*, int,
                                                   unsigned long, void*, const wchar_t*, void*,
                                                   void*);
__declspec(dllimport) unsigned long __stdcall WaitForSingleObject(HANDLE, unsigned long);
__declspec(dllimport) int __stdcall GetExitCodeProcess(HANDLE, unsigned long*);
__declspec(dllimport) int __stdcall CloseHandle(HANDLE);
__declspec(dllimport) void* __stdcall SetUnhandledExceptionFilter(long(__stdcall*)(void*));
__declspec(dllimport) wchar_t** __stdcall CommandLineToArgvW(const wchar_t* line, int* count);
void* memset(void* target, int value, size_t size);
void* memcpy(void* target, const void* source, size_t size);
}

inline void* operator new(size_t, void* place) noexcept {
    return place;
}

// Memory as the Microsoft C++ library's std::allocator hands it out: below 4,096 bytes a process
// heap block; from 4,096 bytes the big-allocation rule (32-byte alignment, the block's address in
// the 8 bytes before). Deallocate fails the run for memory that the rule did not produce or that
// the process heap does not own.
void* Allocate(size_t bytes);
void Deallocate(void* memory, size_t bytes);

// Output on standard output; wide texts are printed as far as they are ASCII.
void Print(const char* text);
void Print(const wchar_t* text);
void Print(unsigned long long value);
template <class First, class Second, class... Rest>
void Print(First first, Second second, Rest... rest) {
    Print(first);
    Print(second, rest...);
}
// Ends the run with exit code 1 after printing what failed.
[[noreturn]] void Fail(const char* what);

template <class Char> size_t Length(const Char* text) {
    size_t length = 0;
    while (text[length] != 0)
        ++length;
    return length;
}
