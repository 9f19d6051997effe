// GetLastError to HRESULT.
#include "platform/win32/system_error.h"

namespace platform {

HRESULT hresult_from_error(DWORD code)
{
    if (code == 0)
        return E_FAIL;
    return static_cast<HRESULT>((code & 0xFFFFu) | 0x80070000u);
}

HRESULT hresult_from_last_error()
{
    return hresult_from_error(::GetLastError());
}

}  // namespace platform
