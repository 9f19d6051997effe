// Opening an address in the user's web browser.
#pragma once

#include <string>

namespace platform {

// Starts the command named by the environment variable BROWSER, else xdg-open,
// with `url` as its one argument, detached (standard streams on /dev/null, never
// waited for). Any failure is ignored: the address is on the console anyway.
void launch_browser(const std::string& url);

}  // namespace platform
