// The console line that shows how far the first reading of a compressed
// tarball has come: bytes read of the total, the rate and the time left, the
// console's status line on a terminal (redrawn a few times a second at most)
// and not written at all elsewhere, so that logs and pipes get only the lines
// around it.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "app/console.h"

namespace app {

// The text of the line: "reading NAME: 120.0 of 700.0 MB, 95.0 MB/s, 7 s left".
// Before a rate can be told (nothing read yet) it ends after the total.
std::string progress_text(const std::string& name, std::uint64_t done, std::uint64_t total,
                          std::chrono::duration<double> elapsed);

class progress_line {
public:
    // Draws on `out` when `terminal`.
    progress_line(console& out, std::string name, bool terminal);
    progress_line(const progress_line&) = delete;
    progress_line& operator=(const progress_line&) = delete;
    ~progress_line() { finish(); }

    void update(std::uint64_t done, std::uint64_t total);

    // Clears the line, if one was drawn, for the lines that follow.
    void finish();

private:
    console& out_;
    std::string name_;
    bool terminal_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point drawn_{};
    bool shown_ = false;  // the console shows this line
};

}  // namespace app
