// Browser launch by a double fork, so that the browser is nobody's zombie child.
#include "platform/browser.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

void launch_browser(const std::string& url)
{
    const char* chosen = std::getenv("BROWSER");
    std::string command = chosen && *chosen ? chosen : "xdg-open";

    pid_t child = ::fork();
    if (child < 0)
        return;
    if (child == 0) {
        ::setsid();
        if (::fork() != 0)
            ::_exit(0);
        int null_fd = ::open("/dev/null", O_RDWR);
        if (null_fd >= 0) {
            ::dup2(null_fd, 0);
            ::dup2(null_fd, 1);
            ::dup2(null_fd, 2);
            if (null_fd > 2)
                ::close(null_fd);
        }
        ::close_range(3, ~0U, 0);  // the listening socket and the archive stay ours
        ::execlp(command.c_str(), command.c_str(), url.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);  // the intermediate child ends at once
}

}  // namespace platform
