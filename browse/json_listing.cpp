// The JSON listing, written without recursion.
#include "browse/json_listing.h"

#include <vector>

namespace browse {
namespace {

constexpr std::string_view object_start = "{\"name\":\"";
constexpr std::string_view after_name = "\", \"SubDirectories\":[";
constexpr std::string_view between_arrays = "], \"files\":[";
constexpr std::string_view object_end = "]}";

// Names are UTF-8 bytes: only '"', '\' and control bytes need escaping.
void append_escaped(std::string& out, std::string_view name)
{
    static constexpr char hex[] = "0123456789abcdef";
    for (char c : name) {
        unsigned char byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20) {
                out += "\\u00";
                out += hex[byte >> 4];
                out += hex[byte & 0xF];
            } else {
                out += c;
            }
        }
    }
}

bool is_folder(const content_node& node)
{
    return !node.children().empty();
}

void open_object(std::string& out, const content_node& node)
{
    out += object_start;
    append_escaped(out, node.name());
    out += after_name;
}

// Ends an object whose sub-folders are written: its files, then the closing piece.
void close_object(std::string& out, const content_node& node)
{
    out += between_arrays;
    bool first = true;
    for (const content_node* child : node.children()) {
        if (is_folder(*child))
            continue;
        if (!first)
            out += ',';
        first = false;
        out += '"';
        append_escaped(out, child->name());
        out += '"';
    }
    out += object_end;
}

// An open object and the position of the next child to look at for sub-folders.
struct open_frame {
    const content_node* node;
    std::size_t next_child;
    bool wrote_folder;
};

}  // namespace

void write_json(std::string& out, const content_node& node)
{
    std::vector<open_frame> stack;
    open_object(out, node);
    stack.push_back({&node, 0, false});
    while (!stack.empty()) {
        open_frame& frame = stack.back();
        const auto& children = frame.node->children();
        while (frame.next_child < children.size() && !is_folder(*children[frame.next_child]))
            ++frame.next_child;
        if (frame.next_child == children.size()) {
            close_object(out, *frame.node);
            stack.pop_back();
            continue;
        }
        const content_node& folder = *children[frame.next_child++];
        if (frame.wrote_folder)
            out += ',';
        frame.wrote_folder = true;
        open_object(out, folder);
        stack.push_back({&folder, 0, false});  // invalidates `frame`
    }
}

}  // namespace browse
