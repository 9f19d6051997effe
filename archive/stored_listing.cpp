// Recording a listing and its bytes in the lasting index.
#include "archive/stored_listing.h"

#include "archive/byte_fields.h"

namespace archive {

namespace {

// The bit above a 32-bit value in a field: an item that is a folder, or a
// names code page that is there.
constexpr std::uint64_t flag_bit = std::uint64_t{1} << 32;

}  // namespace

stored_listing record_listing(const archive_file& archive)
{
    stored_listing listing;
    listing.item_count = archive.item_count();
    listing.code_page = archive.names_code_page();
    listing.names = archive.list_items([&](std::string_view path, std::uint32_t index) {
        listing.items.push_back({index, archive.item_is_folder(index), std::string(path)});
    });
    return listing;
}

std::string listing_to_bytes(const stored_listing& listing)
{
    field_writer out;
    out.put(listing.item_count);
    out.put(listing.code_page);
    const names_outcome& names = listing.names;
    out.put(names.escaped);
    out.put(names.left_undecoded);
    out.put(names.code_page ? flag_bit | *names.code_page : 0);
    out.put(names.detected);
    out.put_string(names.detected_charset);
    out.put(listing.items.size());
    for (const stored_item& item : listing.items) {
        out.put(item.index | (item.folder ? flag_bit : 0));
        out.put_string(item.path);
    }
    return std::move(out.bytes());
}

std::optional<stored_listing> listing_from_bytes(const std::string& bytes)
{
    field_reader in(bytes);
    stored_listing listing;
    std::uint64_t fields[6] = {};
    for (std::uint64_t& field : fields)
        if (!in.get(field))
            return std::nullopt;
    names_outcome& names = listing.names;
    if (!in.get_string(names.detected_charset) || fields[0] > UINT32_MAX || fields[1] > UINT32_MAX ||
        fields[2] > fields[0] || fields[3] > fields[0] || fields[4] > (flag_bit | UINT32_MAX) || fields[5] > 1)
        return std::nullopt;
    listing.item_count = static_cast<std::uint32_t>(fields[0]);
    listing.code_page = static_cast<std::uint32_t>(fields[1]);
    names.escaped = static_cast<std::uint32_t>(fields[2]);
    names.left_undecoded = static_cast<std::uint32_t>(fields[3]);
    if (fields[4] & flag_bit)
        names.code_page = static_cast<std::uint32_t>(fields[4]);
    names.detected = fields[5] != 0;
    std::uint64_t count = 0;
    // Each item takes at least 16 bytes.
    if (!in.get(count) || count > listing.item_count || count > bytes.size() / 16)
        return std::nullopt;
    listing.items.resize(count);
    for (stored_item& item : listing.items) {
        std::uint64_t key = 0;
        if (!in.get(key) || !in.get_string(item.path) || (key & ~(flag_bit | UINT32_MAX)) ||
            static_cast<std::uint32_t>(key) >= listing.item_count)
            return std::nullopt;
        item.index = static_cast<std::uint32_t>(key);
        item.folder = (key & flag_bit) != 0;
    }
    if (!in.at_end())
        return std::nullopt;
    return listing;
}

}  // namespace archive
