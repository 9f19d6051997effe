// Reading /proc/PID/status and /proc/PID/stat.
#include "tests/support/process_stats.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include <unistd.h>

namespace test_support {

std::uint64_t peak_resident_bytes(int pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stoull(line.substr(6)) * 1024;  // given in kB
    }
    return 0;
}

double cpu_seconds(int pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The command name in parentheses may hold spaces: count fields after it.
    const std::size_t name_end = text.rfind(')');
    if (name_end == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(name_end + 2));
    std::string field;
    // After the name: state is field 3, utime field 14, stime field 15.
    for (int number = 3; number < 14 && fields >> field; ++number) {
    }
    unsigned long long user = 0, system = 0;
    if (!(fields >> user >> system))
        return -1;
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace test_support
