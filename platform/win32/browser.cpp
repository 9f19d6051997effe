// Browser launch through the shell's association for the address itself (no
// command interpreter sees it), or the program that BROWSER names.
#include "platform/browser.h"

#include "platform/environment.h"
#include "platform/utf8.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

namespace platform {

void launch_browser(const std::string& url)
{
    // The shell may hand the address to a COM server; Windows asks for COM to
    // be set up on the calling thread first.
    (void)::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const std::wstring address = wide_from_utf8(url);
    const std::optional<std::string> chosen = environment_variable("BROWSER");
    if (chosen && !chosen->empty()) {
        const std::wstring program = wide_from_utf8(*chosen);
        (void)::ShellExecuteW(nullptr, L"open", program.c_str(), address.c_str(), nullptr, SW_SHOWNORMAL);
        return;
    }
    (void)::ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace platform
