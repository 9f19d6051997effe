// Hashing an item as it streams.
#include "browse/item_digest.h"

#include "browse/item_head.h"

namespace browse {

std::string digest_json(const platform::sha256::digest& value, std::uint64_t size)
{
    return "{\"sha256\":\"" + platform::hex_digest(value) + "\",\"size\":" + std::to_string(size) + "}\n";
}

namespace {

http::reply digest_reply(const platform::sha256::digest& value, std::uint64_t size)
{
    http::reply rep;
    rep.status = http::ok;
    rep.content = digest_json(value, size);
    rep.headers = {{"Content-Type", "application/json"},
                   {"Cache-Control", "no-store"},
                   {"X-Content-Type-Options", "nosniff"},
                   {"Content-Length", std::to_string(rep.content.size())}};
    return rep;
}

}  // namespace

void item_digest::begin(std::optional<std::uint64_t>)
{
}

bool item_digest::write(const char* data, std::size_t size)
{
    if (reply_->cancelled())
        return false;
    hash_.update(data, size);
    size_ += size;
    return true;
}

void item_digest::finish(archive::item_status status)
{
    if (finished_)
        return;
    finished_ = true;
    if (status == archive::item_status::ok)
        reply_->complete(digest_reply(hash_.finish(), size_));
    else
        reply_->complete(item_failure_reply(status));
}

void item_digest::take_whole(std::shared_ptr<const std::string> bytes)
{
    hash_.update(bytes->data(), bytes->size());
    size_ = bytes->size();
    finish(archive::item_status::ok);
}

}  // namespace browse
