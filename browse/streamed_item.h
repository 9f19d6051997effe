// One item on its way from an extraction to a client: the bounded queue between
// the worker that extracts it and the connection that sends it.
//
// The worker fills it as an item receiver; the connection reads it as a reply
// stream. The head of an item larger than the queue goes out as soon as its size
// and its first 256 KiB are known (or its result, when it ends before); an
// item that fits in the queue is sent once it is complete, so that a damaged
// small item still answers 500. An encrypted item
// that cannot be decoded for want of the right password answers 401 (with no
// WWW-Authenticate, so that browsers ask nothing of their own). The last piece of the body is held back until the library has
// reported the item's result and released only when that is success, so a
// damaged item never delivers all the bytes its Content-Length promises. A
// client that reads slowly makes the worker wait: at most queue_limit bytes are
// held (bytes that the item cache keeps anyway are queued as views and do not
// count), and the worker tells its pool that it waits for a client. An item whose size is unknown is collected whole, within a budget,
// then sent.
//
// Shared by the connection and the extraction job (shared_ptr); every member
// below the mutex is guarded by it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "browse/item_head.h"
#include "browse/item_source.h"
#include "browse/request_log.h"
#include "http/byte_range.h"
#include "http/reply_stream.h"

namespace browse {

class streamed_item : public item_receiver, public http::reply_stream {
public:
    static constexpr std::size_t queue_limit = std::size_t{4} << 20;
    // The library's small writes are gathered into pieces of this size, so that
    // the connection is woken and writes once per piece rather than per write.
    static constexpr std::size_t piece_size = 256 * 1024;
    // A large item's head waits for this many of its bytes, or for its result:
    // decoded at once, they keep its first byte prompt.
    static constexpr std::size_t head_hold = piece_size;

    // `log` outlives the item.
    streamed_item(item_request terms, request_log& log);

    // The worker's side.
    void begin(std::optional<std::uint64_t> size) override;
    bool write(const char* data, std::size_t size) override;
    // Kept bytes are queued as views without waiting: they take no memory of the queue's.
    bool write_kept(std::shared_ptr<const std::string> owner, std::string_view bytes) override;
    bool wanted() override;
    void finish(archive::item_status status) override;

    // An item that is at hand whole (cached): served from those bytes, at once
    // and without copies. In place of begin, writes and finish.
    void take_whole(std::shared_ptr<const std::string> bytes) override;

    // The connection's side.
    void next(std::function<void(http::stream_event)> deliver) override;
    void cancel() override;

private:
    // A write: copied into the queue (waiting for room) unless `kept` owns it.
    bool take(const char* data, std::size_t size, std::shared_ptr<const std::string> kept);
    // Builds the head for an item of `size` bytes: 200, 206, or a finished 416.
    void prepare_head(std::uint64_t size);
    // Serves the whole item from `bytes` (views, no copies); under the lock.
    void serve_whole(std::shared_ptr<const std::string> bytes);
    // Hands the next event to a waiting connection when there is one ready.
    void hand_over();
    std::optional<http::stream_event> ready_event();
    bool succeeded() const { return range_complete_ || (finished_ && ok_); }
    bool archive_changed() const { return terms_.watch && terms_.watch->changed(); }

    const item_request terms_;
    request_log& log_;

    std::mutex mutex_;
    std::condition_variable space_;  // the worker waits here while the queue is full
    http::reply head_;
    bool begun_ = false;
    bool collect_ = false;           // the size is unknown: collect the item whole
    std::string collected_;
    std::uint64_t size_ = 0;         // the item's size, once begun
    http::byte_span span_{0, 0};     // the item's bytes that make the body
    std::uint64_t body_length_ = 0;
    std::uint64_t received_ = 0;     // item bytes written so far
    std::uint64_t queued_total_ = 0; // body bytes put in the queue so far
    std::uint64_t delivered_ = 0;    // body bytes handed to the connection
    struct piece {
        std::shared_ptr<const std::string> owner;
        std::string_view bytes;
        bool counted;  // a copy made for the queue: counts towards queue_limit
    };
    std::deque<piece> queue_;
    std::shared_ptr<std::string> filling_;  // the last piece's buffer while it takes more writes
    std::size_t queued_bytes_ = 0;
    bool head_delivered_ = false;
    bool overrun_ = false;           // more bytes than the size promised
    bool range_complete_ = false;    // a range short of the item's end has all its bytes
    bool finished_ = false;
    bool ok_ = false;
    archive::item_status status_ = archive::item_status::ok;  // as finished
    bool cancelled_ = false;
    std::function<void(http::stream_event)> waiting_;
};

}  // namespace browse
