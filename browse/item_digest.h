// An item's SHA-256, taken as its bytes pass from the extraction: nothing of
// the item is held. Once the item has decoded whole the waiting reply gets
// {"sha256":HEX,"size":N}; an item that fails answers as its request would
// (item_failure_reply). Its client leaving stops the extraction.
//
// Shared by the extraction, which fills it (one thread at a time), and the
// route; the reply it completes is guarded by its own lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "browse/item_source.h"
#include "browse/pending_reply.h"
#include "platform/sha256.h"

namespace browse {

// The JSON body of a digest: {"sha256":"<64 hex digits>","size":N}.
std::string digest_json(const platform::sha256::digest& value, std::uint64_t size);

class item_digest : public item_receiver {
public:
    explicit item_digest(std::shared_ptr<pending_reply> reply) : reply_(std::move(reply)) {}

    void begin(std::optional<std::uint64_t> size) override;
    bool write(const char* data, std::size_t size) override;
    bool wanted() override { return !reply_->cancelled(); }
    void finish(archive::item_status status) override;
    void take_whole(std::shared_ptr<const std::string> bytes) override;

private:
    const std::shared_ptr<pending_reply> reply_;
    platform::sha256 hash_;
    std::uint64_t size_ = 0;
    bool finished_ = false;
};

}  // namespace browse
