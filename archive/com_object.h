// Reference counting of the program's objects that the plug-in library sees, and
// the holder that keeps one reference to an interface.
#pragma once

#include "archive/allocation.h"
#include "archive/plugin_interface.h"

#include <atomic>

// Implements AddRef and Release for every interface the object derives from. At
// count 0 Release destroys and frees the object, which therefore lives on the
// heap (made with MyAlloc through new) unless its owner holds a first reference
// that it never returns. The count is atomic: handlers on several threads hold
// references to the one registry.
template <class... Interfaces>
class CMyUnknownImp : public Interfaces... {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++_refCount); }

    ULONG STDMETHODCALLTYPE Release() override
    {
        if (--_refCount != 0)
            return static_cast<ULONG>(_refCount);
        delete this;
        return 0;
    }

    static void* operator new(std::size_t size) { return MyAlloc(size); }
    static void operator delete(void* block) { MyFree(block); }

protected:
    explicit CMyUnknownImp(int refCount = 0) : _refCount(refCount) {}
    virtual ~CMyUnknownImp() = default;

private:
    std::atomic<int> _refCount;
};

// Holds one reference to an interface (or nothing).
template <class T>
class CMyComPtr {
public:
    CMyComPtr() = default;
    CMyComPtr(T* object) : _object(object)
    {
        if (_object)
            _object->AddRef();
    }
    CMyComPtr(const CMyComPtr& other) : CMyComPtr(other._object) {}
    ~CMyComPtr() { Release(); }

    CMyComPtr& operator=(const CMyComPtr& other) { return *this = other._object; }
    CMyComPtr& operator=(T* object)
    {
        if (object)
            object->AddRef();
        Release();
        _object = object;
        return *this;
    }

    void Release()
    {
        if (T* object = _object) {
            _object = nullptr;
            object->Release();
        }
    }

    // The place where a function that hands out a new reference stores it;
    // whatever the holder held is released first.
    T** OutPointer()
    {
        Release();
        return &_object;
    }

    T* operator->() const { return _object; }
    operator T*() const { return _object; }

private:
    T* _object = nullptr;
};
