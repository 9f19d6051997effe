// Record vectors (plain items copied byte-wise) and object vectors (owned objects
// held by pointer). Capacity grows by a quarter from 64 items on, by 8 from 8 on,
// else by one.
#pragma once

#include "archive/allocation.h"

#include <cstddef>
#include <cstdint>

class CBaseRecordVector {
public:
    explicit CBaseRecordVector(std::size_t itemSize) : _itemSize(itemSize) {}
    CBaseRecordVector(const CBaseRecordVector&) = delete;
    CBaseRecordVector& operator=(const CBaseRecordVector&) = delete;
    virtual ~CBaseRecordVector() { MyFree(_items); }

    // Removes `count` items from `index` on (fewer when the end comes first).
    virtual void Delete(int index, int count = 1);

    int Size() const { return _size; }
    bool IsEmpty() const { return _size == 0; }
    int Capacity() const { return _capacity; }
    void Clear() { Delete(0, _size); }

    // Sets the capacity to exactly `capacity` items, keeping as many as fit.
    // Raises 1052353 beyond 2^31 - 1 items, 1052354 beyond 4 GiB.
    void Reserve(std::uint64_t capacity);

protected:
    void ReserveOnePosition();
    void* ItemAt(int index) const { return static_cast<unsigned char*>(_items) + _itemSize * static_cast<std::size_t>(index); }

    int _capacity = 0;
    int _size = 0;
    void* _items = nullptr;
    std::size_t _itemSize;
};

template <class T>
class CRecordVector : public CBaseRecordVector {
public:
    CRecordVector() : CBaseRecordVector(sizeof(T)) {}
    CRecordVector(const CRecordVector& other) : CBaseRecordVector(sizeof(T))
    {
        Reserve(static_cast<std::uint64_t>(other.Size()));
        for (int i = 0; i < other.Size(); ++i)
            Add(other[i]);
    }

    int Add(T item)
    {
        ReserveOnePosition();
        static_cast<T*>(_items)[_size] = item;
        return _size++;
    }

    T& operator[](int index) { return static_cast<T*>(_items)[index]; }
    const T& operator[](int index) const { return static_cast<const T*>(_items)[index]; }
};

template <class T>
class CObjectVector : public CRecordVector<void*> {
public:
    CObjectVector() = default;
    CObjectVector(const CObjectVector& other) : CRecordVector<void*>() { CopyFrom(other); }
    CObjectVector& operator=(const CObjectVector& other)
    {
        if (this != &other) {
            Clear();
            CopyFrom(other);
        }
        return *this;
    }
    ~CObjectVector() override { DestroyRange(0, _size); }

    // Adds a heap copy of `item`; returns its position.
    int Add(const T& item) { return AddOwned(NewObject<T>(item)); }

    // Adds a default-made object and returns it.
    T& AddNew()
    {
        T* object = NewObject<T>();
        AddOwned(object);
        return *object;
    }

    T& operator[](int index) { return *static_cast<T*>(CRecordVector<void*>::operator[](index)); }
    const T& operator[](int index) const { return *static_cast<const T*>(CRecordVector<void*>::operator[](index)); }

    // Destroys and frees the objects in the range, then removes their slots.
    void Delete(int index, int count = 1) override
    {
        if (count > _size - index)
            count = _size - index;
        DestroyRange(index, count);
        CRecordVector<void*>::Delete(index, count);
    }

private:
    int AddOwned(T* object)
    {
        try {
            return CRecordVector<void*>::Add(object);
        } catch (...) {
            DeleteObject(object);
            throw;
        }
    }

    void CopyFrom(const CObjectVector& other)
    {
        Reserve(static_cast<std::uint64_t>(other.Size()));
        for (int i = 0; i < other.Size(); ++i)
            Add(other[i]);
    }

    void DestroyRange(int index, int count)
    {
        for (int i = index; i < index + count; ++i)
            DeleteObject(static_cast<T*>(CRecordVector<void*>::operator[](i)));
    }
};
