// Libraries on dlopen(3) with RTLD_NOW | RTLD_LOCAL, so that the library's many
// exports never mix with the program's or another library's names.
#include "platform/dynamic_library.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

const char* main_plugin_library_name()
{
    return "7z.so";
}

bool is_library_file(const char* path)
{
    const int handle = ::open(path, O_RDONLY | O_CLOEXEC);
    if (handle == -1)
        return false;
    unsigned char magic[4] = {};
    const bool is_elf = ::read(handle, magic, sizeof magic) == sizeof magic && magic[0] == 0x7F &&
                        magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F';
    ::close(handle);
    return is_elf;
}

bool dynamic_library::load(const char* path)
{
    if (!free())
        return false;
    handle_ = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
    return handle_ != nullptr;
}

bool dynamic_library::free()
{
    if (!handle_)
        return true;
    if (::dlclose(handle_) != 0)
        return false;
    handle_ = nullptr;
    return true;
}

void* dynamic_library::symbol(const char* name) const
{
    return handle_ ? ::dlsym(handle_, name) : nullptr;
}

}  // namespace platform
