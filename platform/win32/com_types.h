// The COM-style types from Windows' own headers: HRESULT, GUID, BSTR, FILETIME,
// PROPVARIANT (24 bytes on 64-bit Windows, with LARGE_INTEGER 64-bit members),
// IUnknown with its __stdcall methods on 32-bit x86. Included through
// platform/com_types.h.
#pragma once

#include <windows.h>

#include <oleauto.h>
#include <propidl.h>
#include <unknwn.h>

#include <cstdint>

inline std::uint64_t prop_uint64(const PROPVARIANT& value)
{
    return value.uhVal.QuadPart;
}

inline std::int64_t prop_int64(const PROPVARIANT& value)
{
    return value.hVal.QuadPart;
}

inline void set_prop_uint64(PROPVARIANT& value, std::uint64_t number)
{
    value.uhVal.QuadPart = number;
}

inline void set_prop_int64(PROPVARIANT& value, std::int64_t number)
{
    value.hVal.QuadPart = number;
}
