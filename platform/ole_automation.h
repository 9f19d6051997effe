// System strings (BSTR) and the clearing of property values: SysAllocString,
// SysAllocStringByteLen, SysFreeString, SysStringByteLen and VariantClear, on
// OLEAUT32 on Windows and in the plug-in library's own layout elsewhere.
#pragma once

#ifdef _WIN32
#include "platform/win32/ole_automation.h"
#else
#include "platform/posix/ole_automation.h"
#endif
