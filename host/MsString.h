// std::wstring as Microsoft's C++ standard library lays it out (x64, Release), for strings that
// the host owns or reads: 32 bytes, no constructor or destructor of its own, so that it can live
// in memory the host allocated. Large-mode buffers follow the rule of host/MsAllocator.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <string>

namespace msstl {

// The host's wide character: a UTF-16 unit. That is wchar_t on Windows; the native build, whose
// wchar_t is wider, keeps the layout with char16_t and converts unit by unit.
#if WCHAR_MAX <= 0xFFFF
typedef wchar_t Char;
#else
typedef char16_t Char;
#endif

struct WString {
    static constexpr size_t kSmallCapacity = 7; // characters that fit in the object itself

    union {
        Char buffer[kSmallCapacity + 1]; // small mode: the text and its terminating zero
        Char* pointer;                   // large mode: capacity + 1 characters
    };
    size_t size;     // characters, without the terminating zero
    size_t capacity; // characters, without the terminating zero; > 7 means large mode

    bool IsLarge() const { return capacity > kSmallCapacity; }
    const Char* Data() const { return IsLarge() ? pointer : buffer; }
    std::wstring ToStd() const { return std::wstring(Data(), Data() + size); }
};

static_assert(sizeof(Char) == 2, "the host's wide characters are UTF-16 units");
static_assert(sizeof(WString) == 32, "std::wstring is 32 bytes");
static_assert(offsetof(WString, size) == 16 && offsetof(WString, capacity) == 24,
              "_Mysize at 16, _Myres at 24");

// Makes raw memory an empty string (size 0, capacity 7).
void ConstructEmpty(WString& target);
// Makes raw memory a string holding text. Throws std::bad_alloc or std::length_error.
void Construct(WString& target, const wchar_t* text, size_t length);
inline void Construct(WString& target, const std::wstring& text) {
    Construct(target, text.data(), text.size());
}
// Replaces the text of a live string, as std::wstring::assign does: in place when it fits,
// otherwise in a new buffer, freeing the old one. Throws std::bad_alloc or std::length_error,
// leaving target as it was.
void Assign(WString& target, const wchar_t* text, size_t length);
inline void Assign(WString& target, const std::wstring& text) {
    Assign(target, text.data(), text.size());
}
// Frees a large-mode buffer and leaves the empty string, which owns no memory.
void Destroy(WString& target);

// A string of our own in the Microsoft layout, for handing to the host by pointer.
struct OwnedWString {
    explicit OwnedWString(const std::wstring& text) { Construct(string, text); }
    ~OwnedWString() { Destroy(string); }
    OwnedWString(const OwnedWString&) = delete;
    OwnedWString& operator=(const OwnedWString&) = delete;

    WString string;
};

} // namespace msstl
