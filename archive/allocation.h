// The one allocation function of the archive side's support types: running out of
// memory raises CNewException, which nothing inside the archive side catches.
#pragma once

#include <cstddef>
#include <new>
#include <utility>

class CNewException {};

// A block of `size` bytes (none for 0, which gives null); freed with MyFree.
void* MyAlloc(std::size_t size);
void MyFree(void* block);

// An object made in a block from MyAlloc; destroyed with DeleteObject.
template <class T, class... Args>
T* NewObject(Args&&... args)
{
    void* block = MyAlloc(sizeof(T));
    try {
        return ::new (block) T(std::forward<Args>(args)...);
    } catch (...) {
        MyFree(block);
        throw;
    }
}

template <class T>
void DeleteObject(T* object)
{
    object->~T();
    MyFree(object);
}
