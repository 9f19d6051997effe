// CBuffer: an owned block of items whose capacity is set explicitly.
#pragma once

#include "archive/allocation.h"

#include <cstddef>
#include <cstring>

template <class T>
class CBuffer {
public:
    CBuffer() = default;
    CBuffer(const CBuffer& other) { CopyFrom(other); }
    CBuffer& operator=(const CBuffer& other)
    {
        if (this != &other) {
            SetCapacity(0);
            CopyFrom(other);
        }
        return *this;
    }
    virtual ~CBuffer() { MyFree(_items); }

    std::size_t GetCapacity() const { return _capacity; }
    T* Items() { return _items; }
    const T* Items() const { return _items; }
    T operator[](std::size_t index) const { return _items[index]; }

    // A new block of `capacity` items keeping as many old ones as fit; the same
    // capacity does nothing, 0 leaves no block.
    void SetCapacity(std::size_t capacity)
    {
        if (capacity == _capacity)
            return;
        T* items = static_cast<T*>(MyAlloc(sizeof(T) * capacity));
        const std::size_t kept = capacity < _capacity ? capacity : _capacity;
        if (kept > 0)
            std::memcpy(items, _items, sizeof(T) * kept);
        MyFree(_items);
        _items = items;
        _capacity = capacity;
    }

private:
    void CopyFrom(const CBuffer& other)
    {
        SetCapacity(other._capacity);
        if (_capacity > 0)
            std::memcpy(_items, other._items, sizeof(T) * _capacity);
    }

    std::size_t _capacity = 0;
    T* _items = nullptr;
};

using CByteBuffer = CBuffer<unsigned char>;
