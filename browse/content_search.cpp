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

bool content_search::ended(std::uint32_t index) const
{
    const auto found = position_.find(index);
    return found == position_.end() || done_[found->second];
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

void content_search::send_progress(bool now)
{
    if (!pace_.due(now))
        return;
    line_.clear();
    append_progress_line(line_, finished_items_, bytes_, items_.size(), total_bytes_);
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
    append_json_number(line_, searched_);
    line_ += ",\"matches\":";
    append_json_number(line_, matches_);
    line_ += ",\"skipped\":";
    append_json_number(line_, skipped_);
    line_ += ",\"bytes\":";
    append_json_number(line_, bytes_);
    line_ += ",\"ms\":";
    append_json_number(line_, static_cast<std::uint64_t>(ms.count()));
    line_ += ",\"truncated\":";
    line_ += truncated_ ? "true" : "false";
    line_ += "}}\n";
    if (!out_->cancelled() && out_->write(line_))
        out_->end();
}

}  // namespace browse
