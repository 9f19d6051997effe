// CStringBase: the archive side's growable string of narrow (char) or wide
// (wchar_t) units. The array always exists and is terminated at the length; an
// empty string starts with room for 4 units including the terminator.
#pragma once

#include "archive/allocation.h"

#include <cstring>

template <class T>
class CStringBase {
public:
    CStringBase() : _chars(AllocChars(4)), _length(0), _capacity(4) { _chars[0] = 0; }

    CStringBase(const T* text) { InitFrom(text, CharLength(text)); }
    CStringBase(const CStringBase& other) { InitFrom(other._chars, other._length); }
    ~CStringBase() { MyFree(_chars); }

    // Assignment leaves exactly room for the new text: a long string assigned a
    // short one shrinks.
    CStringBase& operator=(const CStringBase& other)
    {
        if (this != &other)
            Assign(other._chars, other._length);
        return *this;
    }
    CStringBase& operator=(const T* text)
    {
        Assign(text, CharLength(text));
        return *this;
    }

    int Length() const { return _length; }
    bool IsEmpty() const { return _length == 0; }
    int Capacity() const { return _capacity; }
    operator const T*() const { return _chars; }
    T operator[](int index) const { return _chars[index]; }
    T Back() const { return _chars[_length - 1]; }

    void Empty()
    {
        _length = 0;
        _chars[0] = 0;
    }

    CStringBase& operator+=(T c)
    {
        GrowLength(1);
        _chars[_length++] = c;
        _chars[_length] = 0;
        return *this;
    }
    CStringBase& operator+=(const CStringBase& other) { return Append(other._chars, other._length); }
    CStringBase& operator+=(const T* text) { return Append(text, CharLength(text)); }

    friend CStringBase operator+(const CStringBase& a, const T* b)
    {
        CStringBase result(a);
        result += b;
        return result;
    }

    // Room for writing `length` units and a terminator; the caller then sets the
    // length with ReleaseBuffer.
    T* GetBuffer(int length)
    {
        if (length >= _capacity)
            SetCapacity(length + 1);
        return _chars;
    }
    void ReleaseBuffer(int length)
    {
        _length = length;
        _chars[length] = 0;
    }

    // -1, 0 or 1, comparing the units as unsigned values.
    int Compare(const T* text) const
    {
        for (int i = 0;; ++i) {
            const auto a = Unsigned(_chars[i]);
            const auto b = Unsigned(text[i]);
            if (a != b)
                return a < b ? -1 : 1;
            if (a == 0)
                return 0;
        }
    }
    bool operator==(const T* text) const { return Compare(text) == 0; }

private:
    static T* AllocChars(int count) { return static_cast<T*>(MyAlloc(sizeof(T) * static_cast<std::size_t>(count))); }

    static int CharLength(const T* text)
    {
        int length = 0;
        while (text[length])
            ++length;
        return length;
    }

    static auto Unsigned(T c)
    {
        if constexpr (sizeof(T) == 1)
            return static_cast<unsigned char>(c);
        else
            return static_cast<unsigned long>(c);
    }

    void InitFrom(const T* text, int length)
    {
        _chars = AllocChars(length + 1);
        std::memcpy(_chars, text, sizeof(T) * static_cast<std::size_t>(length));
        _chars[length] = 0;
        _length = length;
        _capacity = length + 1;
    }

    void Assign(const T* text, int length)
    {
        Empty();
        if (_capacity != length + 1)
            SetCapacity(length + 1);
        std::memcpy(_chars, text, sizeof(T) * static_cast<std::size_t>(length));
        ReleaseBuffer(length);
    }

    CStringBase& Append(const T* text, int length)
    {
        GrowLength(length);
        std::memcpy(_chars + _length, text, sizeof(T) * static_cast<std::size_t>(length));
        ReleaseBuffer(_length + length);
        return *this;
    }

    // A new array of `capacity` units holding the current text.
    void SetCapacity(int capacity)
    {
        T* chars = AllocChars(capacity);
        std::memcpy(chars, _chars, sizeof(T) * static_cast<std::size_t>(_length));
        MyFree(_chars);
        _chars = chars;
        _capacity = capacity;
        _chars[_length] = 0;
    }

    // Makes room for `count` more units: half the capacity more above 64 units,
    // 16 more above 8, else 4, and never less than asked for.
    void GrowLength(int count)
    {
        const int free_units = _capacity - _length - 1;
        if (count <= free_units)
            return;
        int delta = _capacity > 64 ? _capacity / 2 : _capacity > 8 ? 16 : 4;
        if (free_units + delta < count)
            delta = count - free_units;
        SetCapacity(_capacity + delta + 1);
    }

    T* _chars;
    int _length;
    int _capacity;
};

using AString = CStringBase<char>;
using UString = CStringBase<wchar_t>;
