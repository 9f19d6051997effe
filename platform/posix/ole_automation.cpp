// System strings as the plug-in library lays them out, made with the same
// malloc and free that the library uses.
#include "platform/posix/ole_automation.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

BSTR SysAllocStringByteLen(const void* data, std::uint32_t byte_length)
{
    const std::size_t total = sizeof(std::uint32_t) + std::size_t{byte_length} + sizeof(wchar_t);
    auto* block = static_cast<unsigned char*>(std::malloc(total));
    if (!block)
        return nullptr;
    std::memcpy(block, &byte_length, sizeof byte_length);
    unsigned char* characters = block + sizeof byte_length;
    if (data)
        std::memcpy(characters, data, byte_length);
    std::memset(characters + byte_length, 0, sizeof(wchar_t));
    return reinterpret_cast<BSTR>(characters);
}

BSTR SysAllocString(const wchar_t* text)
{
    if (!text)
        return nullptr;
    return SysAllocStringByteLen(text, static_cast<std::uint32_t>(std::wcslen(text) * sizeof(wchar_t)));
}

void SysFreeString(BSTR text)
{
    if (text)
        std::free(reinterpret_cast<unsigned char*>(text) - sizeof(std::uint32_t));
}

std::uint32_t SysStringByteLen(BSTR text)
{
    if (!text)
        return 0;
    std::uint32_t byte_length;
    std::memcpy(&byte_length, reinterpret_cast<unsigned char*>(text) - sizeof byte_length, sizeof byte_length);
    return byte_length;
}

HRESULT VariantClear(PROPVARIANT* value)
{
    if (value->vt == VT_BSTR)
        SysFreeString(value->bstrVal);
    value->vt = VT_EMPTY;
    value->wReserved1 = value->wReserved2 = value->wReserved3 = 0;
    value->uhVal = 0;
    return S_OK;
}
