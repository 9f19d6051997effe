// Decoding a list of items in passes that go on past where one stopped.
#include "browse/item_walk.h"

#include "archive/item_names.h"
#include "browse/json_text.h"

namespace browse {

void append_item_key(std::string& out, const std::string& path)
{
    const std::string shown = archive::shown_name(path);
    out += "{\"item\":";
    append_json_string(out, shown);
    if (shown != path && archive::is_utf8(path)) {
        out += ",\"address\":";
        append_json_string(out, path);
    }
}

bool progress_pace::due(bool now)
{
    const auto time = std::chrono::steady_clock::now();
    if (!now && time - last_ < std::chrono::milliseconds(250))
        return false;
    last_ = time;
    return true;
}

void append_progress_line(std::string& out, std::uint64_t items, std::uint64_t bytes, std::uint64_t of_items,
                          std::uint64_t of_bytes)
{
    out += "{\"progress\":{\"items\":";
    append_json_number(out, items);
    out += ",\"bytes\":";
    append_json_number(out, bytes);
    out += ",\"of_items\":";
    append_json_number(out, of_items);
    out += ",\"of_bytes\":";
    append_json_number(out, of_bytes);
    out += "}}\n";
}

void item_walk::decode(archive::archive_file& archive, const std::vector<std::uint32_t>& indices,
                       const item_password& password)
{
    std::vector<std::uint32_t> left = indices;
    while (!left.empty() && !stopped()) {
        archive.extract_items(left, *this, password);
        // A pass that the library ended early goes on after the item it ended in.
        std::vector<std::uint32_t> rest;
        bool passed_first_left = false;
        for (const std::uint32_t index : left) {
            if (ended(index))
                continue;
            if (!passed_first_left) {
                passed_first_left = true;
                skip(index);  // where the pass stopped: it cannot be decoded
                continue;
            }
            rest.push_back(index);
        }
        left = std::move(rest);
    }
}

}  // namespace browse
