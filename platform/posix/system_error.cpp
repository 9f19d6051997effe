// errno to HRESULT.
#include "platform/posix/system_error.h"

#include <cerrno>

namespace platform {

HRESULT hresult_from_error(int code)
{
    if (code == 0)
        return E_FAIL;
    if (code < 0)
        return code;
    return static_cast<HRESULT>((static_cast<std::uint32_t>(code) & 0xFFFFu) | 0x80070000u);
}

HRESULT hresult_from_errno()
{
    return hresult_from_error(errno);
}

}  // namespace platform
