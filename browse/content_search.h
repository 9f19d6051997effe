// One search of the contents of an archive's items: it takes the items' bytes
// as they are decoded, in archive order, finds their matching lines and writes
// them to its client as NDJSON, one object a line, as soon as they are found:
//   {"item":PATH,"line":N,"text":TEXT,"ranges":[[START,END],...]}  a matching line
//     ("address" beside "item" when the path shown differs from the item's address)
//   {"progress":{"items":I,"bytes":B,"of_items":TI,"of_bytes":TB}}  at most four a second
//   {"done":{"items":I,"matches":M,"skipped":S,"bytes":B,"ms":T,"truncated":BOOL}}  last
// Items that look binary, and those that cannot be decoded (encrypted without
// the right password, damaged), are skipped. The lines of an item are held
// until it is known not to be binary, and those of an encrypted item (or of
// any item once the library has asked for a password) until it has decoded
// whole: a wrong key decodes to noise.
//
// The search runs in turns on the extraction pool's workers (search_workers
// gives them out); its units (item_walk.h) say what one turn decodes. The
// items sink is called on the worker of the turn; wanted() may be asked from
// any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/item_sink.h"
#include "browse/content_tree.h"
#include "browse/line_scanner.h"
#include "browse/ndjson_walk.h"
#include "browse/search_terms.h"
#include "browse/text_pattern.h"

namespace browse {

// The search is over once its client has gone, or it has found enough lines.
class content_search : public ndjson_walk, private archive::item_sink {
public:
    // Results go to `out`; `items` are searched in index order, decoded with
    // `password`.
    content_search(search_terms terms, std::shared_ptr<const text_pattern> pattern, std::vector<search_item> items,
                   std::unique_ptr<search_units> units,
                   std::shared_ptr<http::live_stream> out, item_password password);

    void skip(std::uint32_t index) override;
    void finish() override;

    // The items sink, for the archive and for passes over blocks.
    archive::item_sink* begin_item(std::uint32_t index) override;
    void end_item(std::uint32_t index, archive::item_status status) override;
    bool wanted() override { return !stopped(); }
    // What decodes from now on depends on a password, which may be wrong.
    void password_asked() override { password_asked_ = true; }

private:
    bool write(const char* data, std::size_t size) override;
    void send_hits();
    void count_done(std::uint32_t index, bool searched);

    const search_terms terms_;
    const std::shared_ptr<const text_pattern> pattern_;

    // The item being decoded, on the worker's thread.
    std::optional<std::size_t> current_;
    std::optional<line_scanner> scanner_;
    bool hold_hits_ = false;          // until the item has decoded whole
    std::atomic<bool> password_asked_{false};  // by the library, on any thread

    std::uint64_t searched_ = 0, skipped_ = 0, matches_ = 0;
    bool truncated_ = false;
};

// The items of the tree under `folder` (a path from the root; empty: all)
// whose names match the globs, with their paths, in index order; nothing when
// the folder is not there.
std::optional<std::vector<search_item>> items_to_search(const content_tree& tree, const std::string& folder,
                                                        const std::vector<std::string>& name_globs);

}  // namespace browse
