// Property values hold at most a system string of ours or the library's; both
// come from OLEAUT32, so SysFreeString frees either.
#include "platform/ole_automation.h"

#include <cstring>

HRESULT VariantClear(PROPVARIANT* value)
{
    if (value->vt == VT_BSTR)
        ::SysFreeString(value->bstrVal);
    std::memset(value, 0, sizeof *value);
    value->vt = VT_EMPTY;
    return S_OK;
}
