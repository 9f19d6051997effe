// The console lines of serving: each request's decoded path, and the note of an
// item that failed. Both may be called from any thread; each line is one write.
#pragma once

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

    // Writes five spaces, the status's text and a newline in one piece, so that
    // lines written from several threads never mix.
    void item_failed(archive::item_status status) override;

    // Writes five spaces, the status's text, the item's path (control bytes
    // escaped as above) and a newline in one piece.
    void download_cut(std::string_view item, archive::item_status status) override;

private:
    console& out_;
};

}  // namespace app
