// Windows error codes as HRESULTs: (code & 0xFFFF) | 0x80070000, 0 giving E_FAIL.
#pragma once

#include "platform/com_types.h"

namespace platform {

HRESULT hresult_from_error(DWORD code);

// The HRESULT of GetLastError as it stands.
HRESULT hresult_from_last_error();

}  // namespace platform
