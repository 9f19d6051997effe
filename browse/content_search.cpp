// Matching lines found as items decode, written as NDJSON.
#include "browse/content_search.h"

#include <algorithm>
#include <charconv>

#include "archive/item_names.h"
#include "browse/json_text.h"

namespace browse {
namespace {

constexpr auto progress_interval = std::chrono::milliseconds(250);

void append_number(std::string& out, std::uint64_t value)
{
    char text[24];
    out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void append_string(std::string& out, std::string_view text)
{
    out += '"';
    append_json_escaped(out, text);
    out += '"';
}

}  // namespace

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
    : terms_(std::move(terms)),
      pattern_(std::move(pattern)),
      items_(std::move(items)),
      units_(std::move(units)),
      out_(std::move(out)),
      password_(std::move(password))
{
}

bool content_search::run_turn(archive::archive_file* top)
{
    if (stopped())
        return false;
    if (!prepared_) {
        prepared_ = true;
        total_bytes_ = units_->prepare(top, items_);
        done_.assign(items_.size(), false);
        for (std::size_t i = 0; i < items_.size(); ++i)
            position_[items_[i].index] = i;
        send_progress(true);
    }
    return units_->run_next(top, *this) && !stopped();
}

void content_search::decode(archive::archive_file& archive, const std::vector<std::uint32_t>& indices,
                            const item_password& password)
{
    std::vector<std::uint32_t> left = indices;
    while (!left.empty() && !stopped()) {
        archive.extract_items(left, *this, password);
        // A pass that the library ended early goes on after the item it ended in.
        std::vector<std::uint32_t> rest;
        bool passed_first_left = false;
        for (const std::uint32_t index : left) {
            const auto found = position_.find(index);
            if (found == position_.end() || done_[found->second])
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

void content_search::skip(std::uint32_t index)
{
    const auto found = position_.find(index);
    if (found != position_.end() && !done_[found->second])
        count_done(index, false);
}

void content_search::count_done(std::uint32_t index, bool searched)
{
    done_[position_.at(index)] = true;
    ++finished_items_;
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
    const auto found = position_.find(index);
    if (found == position_.end() || done_[found->second] || stopped())
        return nullptr;
    current_ = found->second;
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
    const auto found = position_.find(index);
    if (found == position_.end() || done_[found->second])
        return;
    const bool began = current_ == found->second && scanner_;
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
    const std::string shown = archive::shown_name(item.path);
    std::string out;
    for (line_hit& hit : hits) {
        if (matches_ == terms_.max_lines) {
            truncated_ = true;
            stopped_ = true;
            break;
        }
        ++matches_;
        const std::string text = valid_utf8(hit.text, hit.ranges);
        out += "{\"item\":";
        append_string(out, shown);
        if (shown != item.path && archive::is_utf8(item.path)) {
            out += ",\"address\":";
            append_string(out, item.path);
        }
        out += ",\"line\":";
        append_number(out, hit.line);
        out += ",\"text\":";
        append_string(out, text);
        out += ",\"ranges\":[";
        for (std::size_t i = 0; i < hit.ranges.size(); ++i) {
            out += i ? ",[" : "[";
            append_number(out, hit.ranges[i].first);
            out += ',';
            append_number(out, hit.ranges[i].second);
            out += ']';
        }
        out += "]}\n";
    }
    if (!out.empty())
        send(out);
    // One line more than may be sent tells that there are more.
    scanner_->set_hit_limit(static_cast<std::size_t>(terms_.max_lines - matches_ + 1));
}

void content_search::send_progress(bool now)
{
    const auto time = std::chrono::steady_clock::now();
    if (!now && time - last_progress_ < progress_interval)
        return;
    last_progress_ = time;
    line_ = "{\"progress\":{\"items\":";
    append_number(line_, finished_items_);
    line_ += ",\"bytes\":";
    append_number(line_, bytes_);
    line_ += ",\"of_items\":";
    append_number(line_, items_.size());
    line_ += ",\"of_bytes\":";
    append_number(line_, total_bytes_);
    line_ += "}}\n";
    send(line_);
}

void content_search::send(const std::string& line)
{
    if (!out_->write(line))
        stopped_ = true;
}

void content_search::finish()
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_);
    line_ = "{\"done\":{\"items\":";
    append_number(line_, searched_);
    line_ += ",\"matches\":";
    append_number(line_, matches_);
    line_ += ",\"skipped\":";
    append_number(line_, skipped_);
    line_ += ",\"bytes\":";
    append_number(line_, bytes_);
    line_ += ",\"ms\":";
    append_number(line_, static_cast<std::uint64_t>(ms.count()));
    line_ += ",\"truncated\":";
    line_ += truncated_ ? "true" : "false";
    line_ += "}}\n";
    if (!out_->cancelled() && out_->write(line_))
        out_->end();
}

}  // namespace browse
