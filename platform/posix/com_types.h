// Stand-ins for the COM-style types of Windows, laid out as the installed plug-in
// library lays them out on Linux x86-64 (32-bit results, UTF-32 wide characters).
// Included through platform/com_types.h.
#pragma once

#include <cstdint>

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using PROPID = std::uint32_t;
using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;

// A system string: the characters of a block whose 32-bit byte length stands just
// before them (see platform/ole_automation.h).
using BSTR = wchar_t*;

// The calling convention of interface methods and library exports: the
// compiler's own on Linux.
#define STDMETHODCALLTYPE

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT STG_E_INVALIDFUNCTION = static_cast<HRESULT>(0x80030001u);

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};

inline bool operator==(const GUID& a, const GUID& b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
        return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i])
            return false;
    return true;
}

// 100-nanosecond intervals since 1601-01-01, in two 32-bit halves.
struct FILETIME {
    std::uint32_t dwLowDateTime;
    std::uint32_t dwHighDateTime;
};

enum : VARTYPE {
    VT_EMPTY = 0,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_BSTR = 8,
    VT_BOOL = 11,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_FILETIME = 64,
};

struct PROPVARIANT {
    VARTYPE vt;
    std::uint16_t wReserved1;
    std::uint16_t wReserved2;
    std::uint16_t wReserved3;
    union {
        std::uint8_t bVal;
        std::int16_t iVal;
        std::uint16_t uiVal;
        std::int32_t lVal;
        std::uint32_t ulVal;
        std::int64_t hVal;
        std::uint64_t uhVal;
        VARIANT_BOOL boolVal;
        BSTR bstrVal;
        FILETIME filetime;
    };
};

static_assert(sizeof(PROPVARIANT) == 16, "the library's property values are 16 bytes");
static_assert(sizeof(GUID) == 16, "class and interface ids are 16 bytes");
static_assert(sizeof(wchar_t) == 4, "system string characters are UTF-32 units");

inline std::uint64_t prop_uint64(const PROPVARIANT& value)
{
    return value.uhVal;
}

inline std::int64_t prop_int64(const PROPVARIANT& value)
{
    return value.hVal;
}

inline void set_prop_uint64(PROPVARIANT& value, std::uint64_t number)
{
    value.uhVal = number;
}

inline void set_prop_int64(PROPVARIANT& value, std::int64_t number)
{
    value.hVal = number;
}

// The start of every interface. No virtual destructor, so that the table holds
// exactly the library's slots.
class IUnknown {
public:
    virtual HRESULT QueryInterface(const GUID& iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

inline constexpr GUID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
