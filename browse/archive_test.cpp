// Decoding every item and writing what is not sound as NDJSON.
#include "browse/archive_test.h"

#include "browse/json_text.h"

namespace browse {

const char* test_result_kind(archive::item_status status)
{
    using archive::item_status;
    switch (status) {
    case item_status::ok:
    case item_status::aborted:
        return "";
    case item_status::crc_error:
        return "crc";
    case item_status::unavailable:
        return "unavailable";
    case item_status::unexpected_end:
    case item_status::failed:  // the library never reported a result: its data ended first
        return "truncated";
    case item_status::password_needed:
    case item_status::wrong_password:
        return "password";
    case item_status::unsupported_method:
        return "unsupported";
    case item_status::archive_changed:
        return "changed";
    case item_status::data_error:
    case item_status::unknown_error:
        break;
    }
    return "data";
}

archive_test::archive_test(std::vector<search_item> items, std::unique_ptr<search_units> units,
                           std::shared_ptr<http::live_stream> out, item_password password)
    : ndjson_walk(std::move(items), std::move(units), std::move(out), std::move(password))
{
}

void archive_test::skip(std::uint32_t index)
{
    if (!ended(index) && !stopped())
        count_done(position_.at(index), test_result_kind(archive::item_status::failed));
}

archive::item_sink* archive_test::begin_item(std::uint32_t index)
{
    // The bytes are counted and let go; the library checks them as it decodes.
    return ended(index) || stopped() ? nullptr : this;
}

bool archive_test::write(const char*, std::size_t size)
{
    bytes_ += size;
    send_progress(false);
    return !stopped();
}

void archive_test::end_item(std::uint32_t index, archive::item_status status)
{
    if (ended(index) || (status == archive::item_status::aborted && stopped()))
        return;  // a pass the test stopped tells nothing of the item
    count_done(position_.at(index), test_result_kind(status));
}

void archive_test::count_done(std::size_t position, const char* kind)
{
    mark_done(position);
    if (*kind == '\0') {
        ++ok_;
        send_progress(false);
        return;
    }
    ++bad_;
    line_.clear();
    append_item_key(line_, items_[position].path);
    line_ += ",\"result\":\"";
    line_ += kind;
    line_ += "\"}\n";
    send(line_);
    send_progress(false);
}

void archive_test::finish()
{
    line_ = "{\"done\":{\"items\":";
    append_json_number(line_, finished_);
    line_ += ",\"ok\":";
    append_json_number(line_, ok_);
    line_ += ",\"bad\":";
    append_json_number(line_, bad_);
    line_ += ",\"bytes\":";
    append_json_number(line_, bytes_);
    line_ += ",\"ms\":";
    append_json_number(line_, elapsed_ms());
    line_ += "}}\n";
    send_last(line_);
}

}  // namespace browse
