// The console lines of serving: each request's decoded path, and the note of an
// item that failed. Both may be called from any thread; each line is one write.
#pragma once

#include <atomic>

#include "app/console.h"
#include "browse/request_log.h"

namespace app {

class console_log : public browse::request_log {
public:
    // `out` outlives this object.
    explicit console_log(console& out) : out_(out) {}

    // Writes the path and a newline, and flushes. Bytes below 0x20 and 0x7F are
    // written as \xHH, so that a request cannot send control sequences to the
    // user's terminal.
    void request_decoded(std::string_view path) override;

    // Writes five spaces, the item's path (control bytes escaped as above),
    // the cause and a newline in one piece, so that lines written from several
    // threads never mix. A changed archive is told as archive_changed tells it.
    void item_failed(std::string_view item, archive::item_status status) override;

    // Writes five spaces, the status's text, the item's path (control bytes
    // escaped as above) and a newline in one piece.
    void download_cut(std::string_view item, archive::item_status status) override;

    // Says once that the archive changed on disk and that nothing more of it is served.
    void archive_changed() override;
    void inner_archive_failed(std::string_view item, std::string_view cause) override;

private:
    console& out_;
    std::atomic<bool> change_told_{false};
};

}  // namespace app
