// The JSON listing, written without recursion.
#include "browse/json_listing.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <vector>

#include "archive/item_names.h"
#include "browse/item_attributes.h"
#include "browse/json_text.h"
#include "platform/file_time.h"

namespace browse {
namespace {

constexpr std::string_view object_start = "{\"name\":\"";
constexpr std::string_view after_name = "\", \"SubDirectories\":[";
constexpr std::string_view between_arrays = "], \"files\":[";
constexpr std::string_view object_end = "]}";

// The name as the listing shows it (see archive::shown_name) after `"name":"`,
// and where the tree's name differs, that one after `","address":"`: what an
// item's address must give. Left open for the closing quote.
void append_name(std::string& out, std::string_view name)
{
    bool plain = true;
    for (const char c : name)
        if (static_cast<unsigned char>(c) >= 0x80) {
            plain = false;
            break;
        }
    if (plain) {
        append_json_escaped(out, name);
        return;
    }
    const std::string shown = archive::shown_name(name);
    append_json_escaped(out, shown);
    if (shown != name && archive::is_utf8(name)) {
        out += "\",\"address\":\"";
        append_json_escaped(out, name);
    }
}

// Whether a file's name needs an object in the names listing: it has an address.
bool needs_address(std::string_view name)
{
    for (const char c : name)
        if (static_cast<unsigned char>(c) >= 0x80)
            return archive::holds_escapes(name) && archive::is_utf8(name);
    return false;
}

bool is_folder(const content_node& node)
{
    return !node.children().empty();
}

// Children lie all over memory: ask for a node, and the name behind it, a few
// steps ahead of its use.
template <typename node_pointer>
void prefetch_ahead(const std::vector<node_pointer>& nodes, std::size_t position)
{
    constexpr std::size_t distance = 8;
    if (position + distance < nodes.size()) {
        const char* node = reinterpret_cast<const char*>(nodes[position + distance]);
        __builtin_prefetch(node);
        __builtin_prefetch(node + 64);
    }
}

void append_number(std::string& out, std::uint64_t value)
{
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    out.append(text, end);
}

// `,"KEY":` and the time in ISO 8601 UTC, or nothing when the time cannot be expressed.
void append_time(std::string& out, std::string_view key, std::uint64_t file_time)
{
    const FILETIME time{static_cast<std::uint32_t>(file_time), static_cast<std::uint32_t>(file_time >> 32)};
    platform::system_time t{};
    if (!platform::file_time_to_system_time(time, t))
        return;
    char text[40];
    const int length = std::snprintf(text, sizeof text, "\"%04d-%02d-%02dT%02d:%02d:%02dZ\"", t.year, t.month, t.day,
                                     t.hour, t.minute, t.second);
    out += ",\"";
    out += key;
    out += "\":";
    out.append(text, static_cast<std::size_t>(length));
}

// `,"KEY":"TEXT"`, or nothing for an empty text.
void append_text(std::string& out, std::string_view key, const std::string& text)
{
    if (text.empty())
        return;
    out += ",\"";
    out += key;
    out += "\":\"";
    append_json_escaped(out, archive::shown_name(text));
    out += '"';
}

const archive::item_details* details_of(const content_node& node, const listing_details* details)
{
    if (!details || !node.holds_item() || node.item_index() >= details->items.size())
        return nullptr;
    return &details->items[node.item_index()];
}

// The keys after a file's name: what the archive records of its item.
void append_file_details(std::string& out, const archive::item_details& item)
{
    if (item.has_size) {
        out += ",\"size\":";
        append_number(out, item.size);
    }
    if (item.has_packed_size) {
        out += ",\"packedSize\":";
        append_number(out, item.packed_size);
    }
    if (item.has_modified)
        append_time(out, "modified", item.modified);
    if (item.has_created)
        append_time(out, "created", item.created);
    if (item.has_accessed)
        append_time(out, "accessed", item.accessed);
    append_text(out, "attributes", attributes_text(item));
    append_text(out, "method", item.method);
    append_text(out, "comment", item.comment);
    if (item.has_crc) {
        char text[24];
        std::snprintf(text, sizeof text, ",\"crc\":\"%08" PRIX32 "\"", item.crc);
        out += text;
    }
    out += item.encrypted ? ",\"encrypted\":true" : ",\"encrypted\":false";
    if (item.link != archive::link_kind::none) {
        out += item.link == archive::link_kind::symbolic ? ",\"link\":\"symbolic\"" : ",\"link\":\"hard\"";
        if (!item.link_target.empty()) {
            out += ",\"target\":\"";
            append_json_escaped(out, item.link_target);
            out += '"';
        }
    }
    if (item.is_folder)
        out += ",\"folder\":true";
}

void open_object(std::string& out, const content_node& node, const listing_details* details)
{
    out += object_start;
    append_name(out, node.name());
    if (details) {
        out += '"';
        if (const archive::item_details* item = details_of(node, details); item && item->has_modified)
            append_time(out, "modified", item->modified);
        if (!node.parent()) {
            out += ",\"archive\":{\"name\":\"";
            append_json_escaped(out, archive::shown_name(details->archive_name));
            out += "\",\"size\":";
            append_number(out, details->archive_size);
            out += '}';
        }
        out += after_name.substr(1);
        return;
    }
    out += after_name;
}

// An open object: the position of the next child to look at for sub-folders,
// and the files met on the way, written when the sub-folders are done.
struct open_frame {
    explicit open_frame(const content_node* object) : node(object) {}

    const content_node* node;
    std::size_t next_child = 0;
    bool wrote_folder = false;
    std::vector<const content_node*> files;
};

// Ends an object whose sub-folders are written: its files, then the closing piece.
void close_object(std::string& out, const open_frame& frame, const listing_details* details)
{
    out += between_arrays;
    bool first = true;
    for (std::size_t i = 0; i < frame.files.size(); ++i) {
        const content_node* file = frame.files[i];
        prefetch_ahead(frame.files, i);
        if (!first)
            out += ',';
        first = false;
        const bool object = details || needs_address(file->name());
        if (object)
            out += "{\"name\":";
        out += '"';
        append_name(out, file->name());
        out += '"';
        if (details) {
            if (const archive::item_details* item = details_of(*file, details))
                append_file_details(out, *item);
        }
        if (object)
            out += '}';
    }
    out += object_end;
}

void write_tree(std::string& out, const content_node& node, const listing_details* details)
{
    std::vector<open_frame> stack;
    open_object(out, node, details);
    stack.emplace_back(&node);
    while (!stack.empty()) {
        open_frame& frame = stack.back();
        const auto& children = frame.node->children();
        while (frame.next_child < children.size()) {
            prefetch_ahead(children, frame.next_child);
            if (is_folder(*children[frame.next_child]))
                break;
            frame.files.push_back(children[frame.next_child++]);
        }
        if (frame.next_child == children.size()) {
            close_object(out, frame, details);
            stack.pop_back();
            continue;
        }
        const content_node& folder = *children[frame.next_child++];
        if (frame.wrote_folder)
            out += ',';
        frame.wrote_folder = true;
        open_object(out, folder, details);
        stack.emplace_back(&folder);  // invalidates `frame`
    }
}

}  // namespace

void write_json(std::string& out, const content_node& node)
{
    write_tree(out, node, nullptr);
}

void write_json_details(std::string& out, const content_node& node, const listing_details& details)
{
    write_tree(out, node, &details);
}

}  // namespace browse
