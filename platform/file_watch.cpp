// The comparison of versions, shared by both systems.
#include "platform/file_watch.h"

namespace platform {

bool file_watch::changed() const
{
    if (changed_.load(std::memory_order_acquire))
        return true;
    version now;
    if (handle_ == -1 || !read_version(now))
        return false;
    bool differs = now.size != opened_.size || now.modified_ns != opened_.modified_ns;
    // The change time moves on a rename or a delete too: it counts only while
    // the file is still the one at its path.
    if (!differs && now.status_changed_ns != opened_.status_changed_ns)
        differs = still_at_path();
    if (differs)
        changed_.store(true, std::memory_order_release);
    return differs;
}

}  // namespace platform
