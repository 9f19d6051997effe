// System strings and property values on Linux, with the plug-in library's own memory
// layout: a system string is one malloc block holding its 32-bit byte length, the
// characters and a 4-byte NUL; the BSTR points just after the length. Strings
// cross in both directions, so the library frees ours and we free its own.
#pragma once

#include "platform/com_types.h"

// A new system string holding `text` (up to its NUL); null when memory is short.
// The caller frees it with SysFreeString.
BSTR SysAllocString(const wchar_t* text);

// A new system string of `byte_length` bytes copied from `data` (uninitialised when
// `data` is null), followed by a NUL; null when memory is short. Freed with
// SysFreeString.
BSTR SysAllocStringByteLen(const void* data, std::uint32_t byte_length);

// Frees a system string made by either side; null is allowed.
void SysFreeString(BSTR text);

// The byte length stored before the characters; 0 for null.
std::uint32_t SysStringByteLen(BSTR text);

// Frees what a property value owns (a system string) and leaves it VT_EMPTY.
HRESULT VariantClear(PROPVARIANT* value);
