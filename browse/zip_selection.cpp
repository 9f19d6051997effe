// Reading a selection's addresses and keeping the last selections.
#include "browse/zip_selection.h"

#include <algorithm>
#include <charconv>

#include "http/uri_decoding.h"

namespace browse {
namespace {

// The components of an address, each percent-decoded; nothing when one is
// empty, malformed, or holds a separator.
std::optional<std::vector<std::string>> address_components(std::string_view address)
{
    std::vector<std::string> components;
    if (address.empty())
        return components;  // the root
    for (std::size_t start = 0;;) {
        const std::size_t slash = address.find('/', start);
        const std::string_view piece = address.substr(start, slash == std::string_view::npos ? slash : slash - start);
        std::string name;
        if (piece.empty() || !http::decode_uri(piece, name) || name.find_first_of("/\\") != std::string::npos ||
            name.find('\0') != std::string::npos)
            return std::nullopt;
        components.push_back(std::move(name));
        if (slash == std::string_view::npos)
            return components;
        start = slash + 1;
    }
}

// The number of leading folders that every path shares.
std::size_t shared_folders(const std::vector<search_item>& items)
{
    if (items.empty())
        return 0;
    std::string_view common = items.front().path;
    common = common.substr(0, common.rfind('/') == std::string_view::npos ? 0 : common.rfind('/') + 1);
    for (const search_item& item : items) {
        std::size_t same = 0;
        while (same < common.size() && same < item.path.size() && common[same] == item.path[same])
            ++same;
        common = common.substr(0, same);
        const std::size_t slash = common.rfind('/');
        common = common.substr(0, slash == std::string_view::npos ? 0 : slash + 1);
    }
    return static_cast<std::size_t>(std::count(common.begin(), common.end(), '/'));
}

}  // namespace

std::optional<zip_selection> read_selection(const content_tree& tree, std::string_view body, const item_facts* facts,
                                            std::string& reason)
{
    zip_selection selection;
    std::string address;
    std::size_t lines = 0;
    for (std::size_t start = 0; start < body.size();) {
        std::size_t end = body.find('\n', start);
        if (end == std::string_view::npos)
            end = body.size();
        const std::string_view line = body.substr(start, end - start);
        start = end + 1;
        if (++lines > selection_lines) {
            reason = "A selection holds at most " + std::to_string(selection_lines) + " lines.";
            return std::nullopt;
        }
        const std::size_t colon = line.find(':');
        std::size_t shared = 0;
        const auto [ends, error] = std::from_chars(line.data(), line.data() + (colon == std::string_view::npos ? 0 : colon), shared);
        if (colon == std::string_view::npos || colon == 0 || error != std::errc() || ends != line.data() + colon ||
            shared > address.size()) {
            reason = "Line " + std::to_string(lines) + " of the selection is not \"N:rest\" with N at most the length of the address before it.";
            return std::nullopt;
        }
        address.resize(shared);
        address.append(line.substr(colon + 1));
        const std::optional<std::vector<std::string>> components = address_components(address);
        std::optional<std::vector<search_item>> items;
        if (components)
            items = items_under(tree, *components);
        if (!items) {
            reason = "The selection names " + address + ", which is not in the archive.";
            return std::nullopt;
        }
        selection.items.insert(selection.items.end(), std::make_move_iterator(items->begin()),
                               std::make_move_iterator(items->end()));
    }
    // A folder and items inside it may both be named: each item once.
    std::sort(selection.items.begin(), selection.items.end(),
              [](const search_item& a, const search_item& b) { return a.index < b.index; });
    selection.items.erase(std::unique(selection.items.begin(), selection.items.end(),
                                      [](const search_item& a, const search_item& b) { return a.index == b.index; }),
                          selection.items.end());
    const std::size_t folders = shared_folders(selection.items);
    if (!selection.items.empty()) {
        const std::string& first = selection.items.front().path;
        std::size_t at = 0;
        for (std::size_t i = 0; i < folders; ++i) {
            const std::size_t slash = first.find('/', at);
            selection.folder.push_back(first.substr(at, slash - at));
            at = slash + 1;
        }
        for (search_item& item : selection.items) {
            item.path.erase(0, at);
            if (facts)
                selection.bytes += facts->size(item.index);
        }
    }
    return selection;
}

std::string zip_selections::keep(std::shared_ptr<const zip_selection> selection)
{
    std::string id = std::to_string(++made_);
    kept_.emplace_back(id, std::move(selection));
    if (kept_.size() > kept)
        kept_.pop_front();
    return id;
}

std::shared_ptr<const zip_selection> zip_selections::find(std::string_view id) const
{
    for (const auto& [kept_id, selection] : kept_) {
        if (kept_id == id)
            return selection;
    }
    return nullptr;
}

}  // namespace browse
