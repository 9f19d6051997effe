// Page files from memory while their identity on disk is unchanged.
#include "browse/page_cache.h"

#include <optional>

namespace browse {

platform::page_file_status page_cache::get(const std::string& path, page_file& out)
{
    const auto kept = pages_.find(path);
    if (kept != pages_.end()) {
        const std::optional<platform::file_identity> now = platform::identify_file(path);
        if (now && *now == kept->second.identity) {
            out = kept->second;
            return platform::page_file_status::ok;
        }
        kept_bytes_ -= kept->second.bytes->size();
        pages_.erase(kept);
    }
    std::string bytes;
    const platform::page_file_status status = platform::append_page_file(path, bytes, out.identity);
    if (status != platform::page_file_status::ok)
        return status;
    out.bytes = std::make_shared<const std::string>(std::move(bytes));
    if (kept_bytes_ + out.bytes->size() <= budget_) {
        kept_bytes_ += out.bytes->size();
        pages_.emplace(path, out);
    }
    return status;
}

}  // namespace browse
