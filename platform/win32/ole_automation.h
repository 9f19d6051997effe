// System strings are OLEAUT32's own (SysAllocString and the rest come from
// <oleauto.h>); property values are cleared here, since Windows' VariantClear
// takes a VARIANT and refuses types that only a PROPVARIANT has (VT_FILETIME).
#pragma once

#include "platform/com_types.h"

// Frees what a property value owns (a system string, with SysFreeString) and
// leaves it VT_EMPTY.
HRESULT VariantClear(PROPVARIANT* value);
