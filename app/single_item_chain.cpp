// Following the chain of single items, level by level, with its console lines.
#include "app/single_item_chain.h"

#include <optional>
#include <string>

#include "app/progress_line.h"
#include "platform/console_output.h"

namespace app {
namespace {

// The console text of an inner archive that could not be opened.
const char* inner_failure_text(archive::inner_status status)
{
    switch (status) {
    case archive::inner_status::no_temporary_file: return "the temporary file could not be written";
    case archive::inner_status::damaged: return "it could not be decoded";
    case archive::inner_status::not_an_archive: return "no format accepts it";
    case archive::inner_status::password_needed: return "it needs a password";
    case archive::inner_status::wrong_password: return "the password is wrong";
    case archive::inner_status::opened: break;
    }
    return "";
}

// The name of item `index` of `level`.
std::string item_name(const archive::archive_file& level, std::uint32_t index)
{
    std::string name;
    level.list_items([&name, index](std::string_view path, std::uint32_t at) {
        if (at == index)
            name = path;
    });
    return name;
}

}  // namespace

void open_single_item_chain(console& out, CCodecs& codecs, archive::archive_file& served,
                            std::unique_ptr<archive::inner_archive>& innermost,
                            const archive::lasting_index_place* lasting, const reading_report& report)
{
    const std::string password = served.password();
    std::unique_ptr<archive::inner_archive> reached;  // the deepest level opened so far
    archive::archive_file* level = &served;
    std::string level_name;  // empty for the served archive itself
    const std::string served_name = served.path().substr(served.path().find_last_of('/') + 1);
    for (int depth = 0;; ++depth) {
        const std::optional<std::uint32_t> single = archive::single_archive_item(codecs, *level);
        if (!single)
            break;
        const std::uint32_t index = *single;
        const std::string name = item_name(*level, index);
        if (depth == single_item_levels) {
            out.print_bytes("not opening the inner archive " + name + ": " + std::to_string(single_item_levels) +
                            " levels are opened at most\n");
            break;
        }
        out.print_bytes(archive::inner_archive::reads_compressed_file(*level)
                            ? "reading the inner archive " + name + " through seek points, without a copy\n"
                            : "decoding the inner archive " + name + " into a temporary file\n");
        auto next = std::make_unique<archive::inner_archive>();
        const std::string& reading = level_name.empty() ? served_name : level_name;
        progress_line progress(out, reading, platform::output_is_terminal());
        const archive::inner_status status =
            next->open(codecs, *level, index, name, password.empty() ? std::nullopt : std::optional(password),
                       {true, depth == 0 ? lasting : nullptr,
                        [&](std::uint64_t read, std::uint64_t total) {
                            progress.update(read, total);
                            if (report)
                                report(reading, read, total);
                        },
                        depth == 0});
        progress.finish();
        if (status != archive::inner_status::opened) {
            out.print_bytes("cannot open the inner archive " + name + ": " + inner_failure_text(status) +
                            (level_name.empty() ? "; serving the archive itself\n"
                                                : "; serving the inner archive " + level_name + "\n"));
            break;
        }
        out.print_bytes("opened the inner archive " + name +
                        (next->from_lasting_index() ? " with the seek points of its lasting index\n" : "\n"));
        // The level before is decoded whole into `next`: its temporary file
        // goes, unless `next` reads it.
        if (next->reads_outer_file())
            next->keep(std::move(reached));
        reached = std::move(next);
        level = &reached->archive();
        level_name = name;
    }
    if (!reached)
        return;
    innermost = std::move(reached);
    if (!innermost->open_deferred())
        served.take_over(innermost->archive());
}

}  // namespace app
