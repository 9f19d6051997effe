// The archives inside the served archive, opened on first use and kept: a few
// at most, the least recently used closed (its temporary file goes with it).
// An inner archive is named by the chain of item indices that leads to it:
// {5} is the archive that item 5 of the served archive holds, {5, 2} the one
// that item 2 of that holds; and by the password of the request that opened
// it, so that what an encrypted item holds is served only to the requests that
// bring its password. All of the work runs on the extraction pool's workers,
// never on the event loop.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "archive/extraction_pool.h"
#include "archive/inner_archive.h"
#include "browse/content_tree.h"
#include "browse/item_source.h"
#include "browse/served_listing.h"

namespace browse {

using item_chain = std::vector<std::uint32_t>;

// Why a path into inner archives leads nowhere.
enum class inner_failure {
    none,
    not_found,          // a component names nothing, or an item on the way is not an archive
    cannot_open,        // an archive on the way cannot be decoded or opened
    password_needed,    // an item or an archive's names on the way are encrypted, and no password came
    wrong_password,     // the password that came does not decode them
};

// One inner archive: made empty, opened by the first worker that needs it.
// `opening` guards the state and the opening; `use` guards the kept handler
// while a job extracts with it; tree and names never change once opened and
// are read without either.
struct opened_archive {
    std::mutex opening;
    std::mutex use;
    bool tried = false;
    archive::inner_status status = archive::inner_status::not_an_archive;
    archive::inner_archive file;
    std::unique_ptr<content_tree> tree;
    served_bytes names;
};

// Where a path inside inner archives leads: the innermost archive on the way,
// its chain, and the node there (its root for the archive itself).
struct inner_place {
    inner_failure failure = inner_failure::none;
    // With cannot_open: the item that holds the archive, and why it cannot be opened.
    std::string failed_item;
    std::string cause;
    std::shared_ptr<opened_archive> archive;
    item_chain chain;
    const content_node* node = nullptr;
};

class inner_archives {
public:
    static constexpr std::size_t kept = 4;

    // The registry and the pool belong to the caller and outlive this object
    // and every job it submits.
    inner_archives(CCodecs& codecs, archive::extraction_pool& pool) : codecs_(codecs), pool_(pool) {}

    // On a worker: opens the archive that `item` (a node of the served
    // archive's tree, which outlives the job) holds, follows `inside` in it
    // (opening archives further in where the path goes on past an item) and
    // calls `done` with the place, on that worker. With `into_last`, a path
    // that ends at an item leads into the archive it holds, to its root.
    // Encrypted items and names on the way are decoded with `password`.
    void locate(const content_node& item, std::vector<std::string> inside, bool into_last,
                const item_password& password, std::function<void(inner_place)> done);

    // On a worker: extracts item `index` of an opened archive into `receiver`,
    // an encrypted one with `password` (none: the one the archive was opened with).
    void extract(opened_archive& archive, std::uint32_t index, item_receiver& receiver,
                 const item_password& password);

    // On a worker: calls `work` with a handler of the opened archive that no
    // other job uses meanwhile.
    void use(opened_archive& archive, const std::function<void(archive::archive_file&)>& work);

private:
    // The archive of `chain` opened with `password`, kept or made (not yet
    // opened); the least recently used beyond `kept` is let go.
    std::shared_ptr<opened_archive> entry(const item_chain& chain, const item_password& password);
    // Opens `inner` from item `index` of `outer` (the served archive's handler
    // when `outer_archive` is null) with `password` unless it was tried
    // before: true when open.
    bool open(opened_archive& inner, archive::archive_file* outer, opened_archive* outer_archive,
              std::uint32_t index, const std::string& name, const item_password& password);

    CCodecs& codecs_;
    archive::extraction_pool& pool_;

    std::mutex mutex_;  // guards the two below
    struct kept_archive {
        std::shared_ptr<opened_archive> archive;
        std::uint64_t last_used;
    };
    std::map<std::pair<item_chain, item_password>, kept_archive> kept_;
    std::uint64_t uses_ = 0;
};

}  // namespace browse
