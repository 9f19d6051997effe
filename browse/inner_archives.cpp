// Locating paths through inner archives, opening them on the way.
#include "browse/inner_archives.h"

#include "browse/archive_tree.h"

#include <optional>

namespace browse {
namespace {

// A handler of an opened archive for one job: the kept one when it is free;
// while another job holds it (its client may read slowly), one of this job's
// own, opened again on the same file.
class handler_lease {
public:
    handler_lease(CCodecs& codecs, opened_archive& archive)
        : lock_(archive.use, std::try_to_lock), file_(&archive.file.archive())
    {
        if (lock_.owns_lock())
            return;
        if (own_.open_again(codecs, *file_).status == archive::open_status::opened)
            file_ = &own_;
        else
            lock_.lock();
    }
    archive::archive_file& file() { return *file_; }

private:
    std::unique_lock<std::mutex> lock_;
    archive::archive_file own_;
    archive::archive_file* file_;
};

}  // namespace

std::shared_ptr<opened_archive> inner_archives::entry(const item_chain& chain, const item_password& password)
{
    std::lock_guard lock(mutex_);
    kept_archive& found = kept_[{chain, password}];
    if (!found.archive)
        found.archive = std::make_shared<opened_archive>();
    found.last_used = ++uses_;
    std::shared_ptr<opened_archive> archive = found.archive;
    if (kept_.size() > kept) {
        auto oldest = kept_.begin();
        for (auto place = kept_.begin(); place != kept_.end(); ++place)
            if (place->second.last_used < oldest->second.last_used)
                oldest = place;
        kept_.erase(oldest);  // closed once the last job that holds it lets go
    }
    return archive;
}

bool inner_archives::open(opened_archive& inner, archive::archive_file* outer, opened_archive* outer_archive,
                          std::uint32_t index, const std::string& name, const item_password& password)
{
    std::lock_guard lock(inner.opening);
    if (inner.tried)
        return inner.status == archive::inner_status::opened;
    inner.tried = true;
    {
        std::optional<handler_lease> outer_lease;
        if (outer_archive) {
            outer_lease.emplace(codecs_, *outer_archive);
            outer = &outer_lease->file();
        }
        switch (archive::look_at_item(codecs_, *outer, index, true, password)) {
        case archive::item_start::archive: break;
        case archive::item_start::other: return false;
        case archive::item_start::password_needed: inner.status = archive::inner_status::password_needed; return false;
        case archive::item_start::wrong_password: inner.status = archive::inner_status::wrong_password; return false;
        }
        inner.status = inner.file.open(codecs_, *outer, index, name, password);
    }
    // A temporary folder without room may have it at the next request.
    if (inner.status == archive::inner_status::no_temporary_file)
        inner.tried = false;
    if (inner.status != archive::inner_status::opened)
        return false;
    inner.tree = std::make_unique<content_tree>(name);
    list_archive(inner.file.archive(), *inner.tree);
    inner.names = build_names_listing(*inner.tree);  // also puts every folder in order, once
    return true;
}

namespace {

// An item that is not a folder: a path that goes on past it goes inside it.
bool is_plain_item(const content_node& node)
{
    return node.holds_item() && node.children().empty();
}

}  // namespace

namespace {

inner_failure failure_of(archive::inner_status status)
{
    switch (status) {
    case archive::inner_status::not_an_archive: return inner_failure::not_found;
    case archive::inner_status::password_needed: return inner_failure::password_needed;
    case archive::inner_status::wrong_password: return inner_failure::wrong_password;
    case archive::inner_status::no_temporary_file:
    case archive::inner_status::damaged:
    case archive::inner_status::opened: break;
    }
    return inner_failure::cannot_open;
}

}  // namespace

void inner_archives::locate(const content_node& item, std::vector<std::string> inside, bool into_last,
                            const item_password& password, std::function<void(inner_place)> done)
{
    pool_.submit([this, &item, inside = std::move(inside), into_last, password,
                  done = std::move(done)](archive::archive_file* top) {
        inner_place place;
        const content_node* holder = &item;      // the item that holds the next archive
        std::shared_ptr<opened_archive> outer;   // the archive that holds it; null: the served one
        std::size_t used = 0;
        for (;;) {
            place.chain.push_back(holder->item_index());
            place.archive = entry(place.chain, password);
            if ((!outer && !top) || !open(*place.archive, top, outer.get(), holder->item_index(),
                                          std::string(holder->name()), password)) {
                place.failure = failure_of(place.archive->status);
                if (place.failure == inner_failure::cannot_open) {
                    place.failed_item = std::string(holder->name());
                    place.cause = place.archive->status == archive::inner_status::no_temporary_file
                                      ? place.archive->file.temporary_file_failure()
                                      : "it is damaged, or it cannot be decoded";
                }
                break;
            }
            const path_end end = follow_path(*place.archive->tree, inside, used);
            place.node = end.node;
            if (!end.node) {
                place.failure = inner_failure::not_found;
                break;
            }
            if (end.used == inside.size() && !(into_last && end.node != &place.archive->tree->root() &&
                                               is_plain_item(*end.node)))
                break;
            // The path goes on past an item: into the archive that it holds.
            holder = end.node;
            used = end.used;
            outer = place.archive;
        }
        if (place.failure != inner_failure::none)
            place.node = nullptr;
        done(std::move(place));
    });
}

void inner_archives::extract(opened_archive& archive, std::uint32_t index, item_receiver& receiver,
                             const item_password& password)
{
    handler_lease lease(codecs_, archive);
    std::uint64_t size = 0;
    const bool sized = lease.file().item_size(index, size);
    receiver.begin(sized ? std::optional(size) : std::nullopt);
    receiver.finish(lease.file().extract(index, receiver, password));
}

}  // namespace browse

namespace browse {

void inner_archives::use(opened_archive& archive, const std::function<void(archive::archive_file&)>& work)
{
    handler_lease lease(codecs_, archive);
    work(lease.file());
}

}  // namespace browse
