// std::wstring and std::list as Microsoft's C++ library (x64, Release) lays them out and
// allocates them, for a host that has no such library here. Only what the test host uses.
#pragma once

#include "Runtime.h"

namespace std {

class wstring {
public:
    wstring() { Tidy(); }
    wstring(const wchar_t* text) : wstring() { assign(text, Length(text)); }
    wstring(const wstring& other) : wstring() { assign(other.c_str(), other.size()); }
    ~wstring() { Free(); }
    wstring& operator=(const wstring& other) { return assign(other.c_str(), other.size()); }

    wstring& assign(const wchar_t* text, size_t length) {
        _Mysize = 0;
        return append(text, length);
    }
    wstring& append(const wchar_t* text, size_t length) {
        const size_t total = _Mysize + length;
        if (total > _Myres) {
            // The library's growth: at least half again the old capacity, rounded to 8k - 1.
            size_t capacity = total | 7;
            if (capacity < _Myres + _Myres / 2)
                capacity = _Myres + _Myres / 2;
            wchar_t* buffer = static_cast<wchar_t*>(Allocate((capacity + 1) * 2));
            const size_t kept = _Mysize;
            memcpy(buffer, c_str(), kept * 2);
            Free();
            _Bx._Ptr = buffer;
            _Mysize = kept;
            _Myres = capacity;
        }
        memcpy(Data() + _Mysize, text, length * 2);
        _Mysize = total;
        Data()[total] = 0;
        return *this;
    }
    const wchar_t* c_str() const { return _Myres > 7 ? _Bx._Ptr : _Bx._Buf; }
    size_t size() const { return _Mysize; }
    wchar_t operator[](size_t at) const { return c_str()[at]; }
    bool operator==(const wstring& other) const {
        if (_Mysize != other._Mysize)
            return false;
        for (size_t i = 0; i < _Mysize; ++i)
            if (c_str()[i] != other.c_str()[i])
                return false;
        return true;
    }
    // Fails the run unless the fields are those of a valid string.
    void Check(const char* what) const {
        if (_Myres < 7 || _Mysize > _Myres || c_str()[_Mysize] != 0)
            Fail(what);
    }

private:
    wchar_t* Data() { return _Myres > 7 ? _Bx._Ptr : _Bx._Buf; }
    void Tidy() {
        _Bx._Buf[0] = 0;
        _Mysize = 0;
        _Myres = 7;
    }
    void Free() {
        if (_Myres > 7)
            Deallocate(_Bx._Ptr, (_Myres + 1) * 2);
        Tidy();
    }

    union {
        wchar_t _Buf[8];
        wchar_t* _Ptr;
    } _Bx;
    size_t _Mysize;
    size_t _Myres;
};

template <class T> class list {
public:
    struct node {
        node* _Next;
        node* _Prev;
        T _Myval;
    };

    list() {
        _Myhead = static_cast<node*>(Allocate(sizeof(node)));
        _Myhead->_Next = _Myhead->_Prev = _Myhead;
        _Mysize = 0;
    }
    ~list() {
        for (node* at = _Myhead->_Next; at != _Myhead;) {
            node* next = at->_Next;
            at->_Myval.~T();
            Deallocate(at, sizeof(node));
            at = next;
        }
        Deallocate(_Myhead, sizeof(node));
    }

    void push_back(const T& value) {
        node* added = static_cast<node*>(Allocate(sizeof(node)));
        new (&added->_Myval) T(value);
        added->_Next = _Myhead;
        added->_Prev = _Myhead->_Prev;
        _Myhead->_Prev->_Next = added;
        _Myhead->_Prev = added;
        ++_Mysize;
    }
    const node* first() const { return _Myhead->_Next; }
    const node* end() const { return _Myhead; }

private:
    node* _Myhead;
    size_t _Mysize;
};

} // namespace std
