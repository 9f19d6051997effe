// A reply whose head is known at once and whose body is made as it goes, by a
// producer on another thread (a search that writes its results as it finds
// them). The body ends when the connection closes (its head may give its length). What the
// producer writes waits in a buffer of at most `room` bytes; a producer that
// gets ahead of a slow client waits for it, and says so through a hook of its
// choosing (a worker lets its pool know). Everything written by the time the
// connection asks leaves in one piece.
//
// Shared by the producer and the connection; guarded by its mutex.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "http/reply_stream.h"

namespace http {

class live_stream : public reply_stream {
public:
    // `waiting` is called on the producer's thread, under the stream's lock,
    // when a write starts (true) and stops (false) waiting for room.
    live_stream(reply head, std::size_t room, std::function<void(bool waiting)> waiting = {});

    // The producer's side, from any thread. Appends to the body, waiting while
    // the buffer is full; false once the client has gone (nothing is taken).
    bool write(std::string_view bytes);
    // Appends only when the bytes fit in the buffer now, never waiting: for a
    // producer that must not be held up by a client (the newest figures of a
    // progress report). False when they did not fit or the client has gone.
    bool offer(std::string_view bytes);
    // The body is complete.
    void end();
    // The body cannot be completed: once what was written has gone, the
    // connection is cut, so that the client sees a failure, never an end.
    void fail();
    // Whether the client has gone: the producer may stop.
    bool cancelled() const { return cancelled_; }

    // The connection's side.
    void next(std::function<void(stream_event)> deliver) override;
    void cancel() override;

private:
    void hand_over();

    const std::size_t room_;
    const std::function<void(bool waiting)> waiting_for_room_;
    std::mutex mutex_;
    std::condition_variable space_;  // the producer waits here while the buffer is full
    reply head_;
    bool head_sent_ = false;
    std::string buffer_;
    bool ended_ = false;
    bool failed_ = false;
    std::atomic<bool> cancelled_{false};
    std::function<void(stream_event)> waiting_;
};

}  // namespace http
