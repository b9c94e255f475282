// Owners of Win32 handles: each closes its handle exactly once, when it is reset or destroyed.
#pragma once

#include <windows.h>

namespace VIRid {

template <typename Handle, typename Traits> class UniqueWin32 {
public:
    UniqueWin32() : handle_(Traits::Invalid()) {}
    explicit UniqueWin32(Handle handle) : handle_(handle) {}
    ~UniqueWin32() { reset(); }
    UniqueWin32(const UniqueWin32&) = delete;
    UniqueWin32& operator=(const UniqueWin32&) = delete;
    UniqueWin32(UniqueWin32&& other) noexcept : handle_(other.release()) {}
    UniqueWin32& operator=(UniqueWin32&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    Handle get() const { return handle_; }
    bool valid() const { return handle_ != Traits::Invalid(); }
    explicit operator bool() const { return valid(); }
    Handle release() {
        Handle handle = handle_;
        handle_ = Traits::Invalid();
        return handle;
    }
    void reset(Handle handle = Traits::Invalid()) {
        if (valid())
            Traits::Close(handle_);
        handle_ = handle;
    }
    // For functions that return a handle through a pointer; closes the one held first.
    Handle* receive() {
        reset();
        return &handle_;
    }

private:
    Handle handle_;
};

struct KernelHandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct FileHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct FindHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { FindClose(handle); }
};
struct RegistryKeyTraits {
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY key) { RegCloseKey(key); }
};

// Processes, threads, events, pipes: null when not held.
typedef UniqueWin32<HANDLE, KernelHandleTraits> UniqueHandle;
// Files opened with CreateFileW: INVALID_HANDLE_VALUE when not held.
typedef UniqueWin32<HANDLE, FileHandleTraits> UniqueFileHandle;
typedef UniqueWin32<HANDLE, FindHandleTraits> UniqueFindHandle;
typedef UniqueWin32<HKEY, RegistryKeyTraits> UniqueRegistryKey;

} // namespace VIRid
