// The JSON listing, written without recursion.
#include "browse/json_listing.h"

#include <vector>

namespace browse {
namespace {

constexpr std::string_view object_start = "{\"name\":\"";
constexpr std::string_view after_name = "\", \"SubDirectories\":[";
constexpr std::string_view between_arrays = "], \"files\":[";
constexpr std::string_view object_end = "]}";

bool needs_escape(char c)
{
    return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
}

// Names are UTF-8 bytes: only '"', '\' and control bytes need escaping; runs of
// other bytes are copied whole.
void append_escaped(std::string& out, std::string_view name)
{
    static constexpr char hex[] = "0123456789abcdef";
    std::size_t run_start = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (!needs_escape(c))
            continue;
        out.append(name.data() + run_start, i - run_start);
        run_start = i + 1;
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            out += "\\u00";
            out += hex[static_cast<unsigned char>(c) >> 4];
            out += hex[c & 0xF];
        }
    }
    out.append(name.data() + run_start, name.size() - run_start);
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

void open_object(std::string& out, const content_node& node)
{
    out += object_start;
    append_escaped(out, node.name());
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
void close_object(std::string& out, const open_frame& frame)
{
    out += between_arrays;
    bool first = true;
    for (std::size_t i = 0; i < frame.files.size(); ++i) {
        const content_node* file = frame.files[i];
        prefetch_ahead(frame.files, i);
        if (!first)
            out += ',';
        first = false;
        out += '"';
        append_escaped(out, file->name());
        out += '"';
    }
    out += object_end;
}

}  // namespace

void write_json(std::string& out, const content_node& node)
{
    std::vector<open_frame> stack;
    open_object(out, node);
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
            close_object(out, frame);
            stack.pop_back();
            continue;
        }
        const content_node& folder = *children[frame.next_child++];
        if (frame.wrote_folder)
            out += ',';
        frame.wrote_folder = true;
        open_object(out, folder);
        stack.emplace_back(&folder);  // invalidates `frame`
    }
}

}  // namespace browse
