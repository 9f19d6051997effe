// Matching lines found as items decode, written as NDJSON.
#include "browse/content_search.h"

#include <algorithm>

#include "browse/json_text.h"

namespace browse {

std::optional<std::vector<search_item>> items_to_search(const content_tree& tree, const std::string& folder,
                                                        const std::vector<std::string>& name_globs)
{
    std::vector<std::string> components;
    split_path(folder, components);
    std::optional<std::vector<search_item>> items = items_under(tree, components);
    if (items) {
        std::erase_if(*items, [&name_globs](const search_item& item) {
            return !name_matches(name_globs, std::string_view(item.path).substr(item.path.rfind('/') + 1));
        });
    }
    return items;
}

content_search::content_search(search_terms terms, std::shared_ptr<const text_pattern> pattern,
                               std::vector<search_item> items, std::unique_ptr<search_units> units,
                               std::shared_ptr<http::live_stream> out, item_password password)
    : ndjson_walk(std::move(items), std::move(units), std::move(out), std::move(password)),
      terms_(std::move(terms)),
      pattern_(std::move(pattern))
{
}

void content_search::skip(std::uint32_t index)
{
    if (!ended(index))
        count_done(index, false);
}

void content_search::count_done(std::uint32_t index, bool searched)
{
    mark_done(position_.at(index));
    if (searched)
        ++searched_;
    else
        ++skipped_;
    send_progress(false);
}

archive::item_sink* content_search::begin_item(std::uint32_t index)
{
    current_.reset();
    scanner_.reset();
    if (ended(index) || stopped())
        return nullptr;
    current_ = position_.at(index);
    scanner_.emplace(*pattern_, terms_.binary);
    scanner_->set_hit_limit(static_cast<std::size_t>(terms_.max_lines - matches_ + 1));
    hold_hits_ = items_[*current_].encrypted || password_asked_;
    return this;
}

bool content_search::write(const char* data, std::size_t size)
{
    if (stopped())
        return false;
    bytes_ += size;
    if (scanner_) {
        scanner_->feed(data, size);
        if (!hold_hits_ && scanner_->binary_known() && scanner_->hits_held())
            send_hits();
    }
    send_progress(false);
    return !stopped();
}

void content_search::end_item(std::uint32_t index, archive::item_status status)
{
    if (ended(index))
        return;
    const bool began = current_ == position_.at(index) && scanner_;
    if (!began || status != archive::item_status::ok) {
        // Never begun (the library only tested it) or not decoded whole.
        scanner_.reset();
        current_.reset();
        if (!stopped())
            count_done(index, false);
        return;
    }
    scanner_->finish();
    const bool binary = scanner_->binary();
    if (!binary)
        send_hits();
    scanner_.reset();
    current_.reset();
    count_done(index, !binary);
}

void content_search::send_hits()
{
    std::vector<line_hit> hits = scanner_->take_hits();
    const search_item& item = items_[*current_];
    std::string out;
    for (line_hit& hit : hits) {
        if (matches_ == terms_.max_lines) {
            truncated_ = true;
            stopped_ = true;
            break;
        }
        ++matches_;
        const std::string text = valid_utf8(hit.text, hit.ranges);
        append_item_key(out, item.path);
        out += ",\"line\":";
        append_json_number(out, hit.line);
        out += ",\"text\":";
        append_json_string(out, text);
        out += ",\"ranges\":[";
        for (std::size_t i = 0; i < hit.ranges.size(); ++i) {
            out += i ? ",[" : "[";
            append_json_number(out, hit.ranges[i].first);
            out += ',';
            append_json_number(out, hit.ranges[i].second);
            out += ']';
        }
        out += "]}\n";
    }
    if (!out.empty())
        send(out);
    // One line more than may be sent tells that there are more.
    scanner_->set_hit_limit(static_cast<std::size_t>(terms_.max_lines - matches_ + 1));
}

void content_search::finish()
{
    line_ = "{\"done\":{\"items\":";
    append_json_number(line_, searched_);
    line_ += ",\"matches\":";
    append_json_number(line_, matches_);
    line_ += ",\"skipped\":";
    append_json_number(line_, skipped_);
    line_ += ",\"bytes\":";
    append_json_number(line_, bytes_);
    line_ += ",\"ms\":";
    append_json_number(line_, elapsed_ms());
    line_ += ",\"truncated\":";
    line_ += truncated_ ? "true" : "false";
    line_ += "}}\n";
    send_last(line_);
}

}  // namespace browse
