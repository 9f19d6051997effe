// Turns the system's error number into an HRESULT: 0 gives E_FAIL, values not
// above 0 pass unchanged, others become (code & 0xFFFF) | 0x80070000.
#pragma once

#include "platform/com_types.h"

namespace platform {

HRESULT hresult_from_error(int code);

// The HRESULT of errno as it stands.
HRESULT hresult_from_errno();

}  // namespace platform
