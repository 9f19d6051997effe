// Formatting and redrawing the progress line.
#include "app/progress_line.h"

#include <cmath>
#include <cstdio>

namespace app {

namespace {

constexpr auto redraw_interval = std::chrono::milliseconds(200);

std::string megabytes(std::uint64_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / 1e6);
    return text;
}

}  // namespace

std::string progress_text(const std::string& name, std::uint64_t done, std::uint64_t total,
                          std::chrono::duration<double> elapsed)
{
    std::string text = "reading ";
    text += name;
    text += ": ";
    text += megabytes(done);
    text += " of ";
    text += megabytes(total);
    text += " MB";
    const double seconds = elapsed.count();
    if (done == 0 || seconds <= 0)
        return text;
    const double rate = static_cast<double>(done) / seconds;
    const double left = total > done ? static_cast<double>(total - done) / rate : 0;
    char tail[64];
    std::snprintf(tail, sizeof tail, ", %.1f MB/s, %.0f s left", rate / 1e6, std::ceil(left));
    text += tail;
    return text;
}

progress_line::progress_line(console& out, std::string name, bool terminal)
    : out_(out), name_(std::move(name)), terminal_(terminal)
{
}

void progress_line::update(std::uint64_t done, std::uint64_t total)
{
    const auto now = std::chrono::steady_clock::now();
    if (!terminal_ || now - drawn_ < redraw_interval)
        return;
    drawn_ = now;
    out_.show_status(progress_text(name_, done, total, now - started_));
    shown_ = true;
}

void progress_line::finish()
{
    if (!shown_)
        return;
    out_.show_status({});
    shown_ = false;
}

}  // namespace app
