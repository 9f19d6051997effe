// The start-up sequence: registry, server, archive listing, browser, event loop.
// The program object owns every part and wires them together; its members are
// made in the order they depend on each other and destroyed in reverse.
#include "app/run_sequence.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/console.h"
#include "app/console_log.h"
#include "app/page_folder.h"
#include "app/settings.h"
#include "app/single_item_chain.h"
#include "archive/archive_file.h"
#include "archive/extraction_pool.h"
#include "archive/item_names.h"
#include "browse/archive_items.h"
#include "browse/archive_tree.h"
#include "browse/block_layout.h"
#include "browse/inner_archives.h"
#include "browse/item_cache.h"
#include "browse/item_facts.h"
#include "browse/content_tree.h"
#include "browse/router.h"
#include "browse/checksum_route.h"
#include "browse/search_route.h"
#include "browse/search_workers.h"
#include "browse/test_route.h"
#include "browse/zip_route.h"
#include "http/server.h"
#include "platform/browser.h"
#include "platform/cache_folder.h"
#include "platform/console_input.h"
#include "platform/environment.h"
#include "platform/file_identity.h"
#include "platform/file_watch.h"
#include "platform/process_exit.h"

namespace app {
namespace {

// How long a first read goes on before the page is served to show its progress.
constexpr auto early_serving_after = std::chrono::seconds(1);

// As many extracting workers as the machine has cores, at least two.
std::size_t worker_count()
{
    return std::max<std::size_t>(2, std::thread::hardware_concurrency());
}

// The workers start idle and take jobs only once the archive has been listed
// and published. The cache outlives the pool, whose jobs fill it.
struct program {
    program(console& console, const settings& config) : out(console), cache(config.cache_budget) {}

    // Workers may still hand events to connections: the event loop is ended,
    // the connections closed (which cancels their streams) and the workers
    // joined before the server goes.
    ~program()
    {
        if (opening.joinable())
            opening.join();
        if (serving.joinable()) {
            server->stop();
            serving.join();
        }
        if (server)
            server->close_connections();
        pool.reset();
    }

    console& out;
    CCodecs codecs;
    // The innermost archive of a chain of single items (a compressed tarball,
    // say), decoded: what `archive` and the workers' archives read, when the
    // archive is one.
    std::unique_ptr<archive::inner_archive> single_inner;
    // Where the seek points of compressed tarballs last; none when turned off.
    std::optional<archive::lasting_index_place> lasting;
    // Tells whether the archive file was written over while it is served;
    // shared by the served archive, the workers' archives and the router.
    std::shared_ptr<platform::file_watch> watch = std::make_shared<platform::file_watch>();
    archive::archive_file archive;
    browse::content_tree tree;
    console_log log{out};
    browse::item_cache cache;
    std::unique_ptr<archive::extraction_pool> pool =
        std::make_unique<archive::extraction_pool>(codecs, archive, worker_count());
    browse::archive_items items{*pool, cache};
    browse::inner_archives inner{codecs, *pool};
    browse::search_workers searches{*pool, worker_count()};
    page_folder_choice page = find_page_folder();
    browse::router router{tree, items, log, page.folder};
    std::unique_ptr<http::server> server;
    // Opens the handler of a tarball listed from its lasting index, while the
    // listing is made and served; holds the pool until then.
    std::thread opening;
    bool password_given = false;  // the archive was opened with a password
    // Runs the server's event loop from the start of the listing on; what
    // made it end, when that was a failure.
    std::thread serving;
    std::string run_failure;
};

int report_server_failure(console& out, const std::exception& failure)
{
    out.print_error(failure.what());
    return 2;
}

// Opens the archive with the password of VORSEL_PASSWORD when it is set. When
// the archive cannot be opened without a password, a user at a terminal is
// asked for one, up to three times.
archive::open_outcome open_with_password(program& p, const char* archive_path)
{
    constexpr int tries = 3;
    archive::open_outcome outcome =
        p.archive.open(p.codecs, archive_path, platform::environment_variable("VORSEL_PASSWORD"));
    for (int asked = 0; asked < tries && outcome.status == archive::open_status::not_an_archive &&
                        outcome.password_asked && platform::input_is_terminal();
         ++asked) {
        const std::optional<std::string> password =
            platform::read_hidden_line([&p] { p.out.print_bytes("Password: "); });
        if (!password)
            break;
        outcome = p.archive.open(p.codecs, archive_path, *password);
    }
    return outcome;
}

// "1 item name is" or "N item names are".
std::string item_names(std::uint32_t count, const char* one, const char* many)
{
    return std::to_string(count) + (count == 1 ? " item name " + std::string(one) : " item names " + std::string(many));
}

// Says how the names that the library could not decode were read, when there
// were any.
void report_names(console& out, const archive::names_outcome& names)
{
    if (names.escaped == 0)
        return;
    if (names.code_page) {
        const std::string how = names.detected
                                    ? ", detected (" + names.detected_charset + "); VORSEL_CODE_PAGE sets another\n"
                                    : std::string(", from VORSEL_CODE_PAGE\n");
        out.print_bytes(item_names(names.escaped, "is", "are") + " not UTF-8: read in code page " +
                        std::to_string(*names.code_page) + how);
    }
    if (names.left_undecoded == 0)
        return;
    std::string guess;
    if (!names.code_page && !names.detected_charset.empty())
        guess = " (the detector's guess, " + names.detected_charset + ", was not taken)";
    out.print_bytes(item_names(names.left_undecoded, "holds", "hold") +
                    " bytes that no code page decodes: each shows as U+FFFD" + guess +
                    "; VORSEL_CODE_PAGE names the code page\n");
}

// The handler of a tarball listed from its lasting index opens while the
// listing is served; the workers take their jobs once it has. Should it not
// open, the served archive is closed rather than left on the outer file, and
// items fail.
void finish_opening(program& p)
{
    if (p.single_inner->finish_open() == archive::inner_status::opened)
        p.archive.take_over(p.single_inner->archive());
    else {
        p.archive.close();
        p.out.print_bytes("cannot open the inner archive that its lasting index lists: its items are not served\n");
    }
    p.pool->release();
}

// Opens the archive and lists it into the tree, with today's console messages;
// ends the process when no format accepts the file.
void open_and_list(program& p, const char* archive_path, const reading_report& report)
{
    const archive::open_outcome outcome = open_with_password(p, archive_path);
    for (const std::string& volume : outcome.missing_volumes)
        p.out.print_bytes("Missing volume: " + volume + "\n");
    if (outcome.password_asked && outcome.status != archive::open_status::opened)
        p.out.print_message(p.archive.password().empty() ? "Password is not defined" : "Wrong password");
    switch (outcome.status) {
    case archive::open_status::cannot_open_file:
        p.out.print_message("Can not open input file");
        return;
    case archive::open_status::not_an_archive:
        p.out.print_message("Can not get input class object");
        platform::read_one_character();
        platform::exit_process_at_once(3);
    case archive::open_status::opened:
        break;
    }
    p.password_given = !p.archive.password().empty();
    if (p.watch->open(archive_path)) {
        p.archive.set_watch(p.watch);
        p.router.context().watch = p.watch.get();
    }
    open_single_item_chain(p.out, p.codecs, p.archive, p.single_inner, p.lasting ? &*p.lasting : nullptr, report);
    // From here on only the opening thread uses the served archive, until the pool is released.
    if (p.single_inner && p.single_inner->open_deferred()) {
        p.pool->hold();
        p.opening = std::thread([&p] { finish_opening(p); });
        report_names(p.out, browse::list_stored(p.single_inner->stored(), p.tree));
    } else
        report_names(p.out, browse::list_archive(p.archive, p.tree));
}

// The names listing and the archive's tag, made once the archive is listed.
browse::archive_content archive_content_of(const program& p, const std::string& archive_path)
{
    const std::optional<platform::file_identity> identity = platform::identify_file(archive_path);
    return {browse::build_names_listing(p.tree), identity ? browse::archive_tag(*identity) : std::string("no-archive"),
            p.password_given};
}

// What the archive records of each item is read by a worker while the server
// runs: it gives the details listing and which items share a block.
void read_details_in_background(program& p, const std::string& archive_path)
{
    const std::optional<platform::file_identity> identity = platform::identify_file(archive_path);
    std::string name = archive_path.substr(archive_path.find_last_of('/') + 1);
    const std::uint64_t size = identity ? identity->size : 0;
    p.pool->submit_background([&p, name = std::move(name), size](archive::archive_file* archive) {
        const std::vector<archive::item_details> details =
            archive ? archive->read_details() : std::vector<archive::item_details>();
        p.items.set_layout(browse::block_layout(details));
        p.router.publish_details(browse::build_details_listing(p.tree, {details, name, size}),
                                 std::make_shared<const browse::item_facts>(details));
    });
}

}  // namespace

int run_sequence(console& out, const char* archive_path)
{
    const settings config = read_settings();
    if (!config.refused_code_page.empty())
        out.print_bytes("VORSEL_CODE_PAGE=" + config.refused_code_page +
                        " names no code page that this system decodes: item names that are not UTF-8 are read in a "
                        "detected one\n");
    program p{out, config};
    p.archive.set_names_code_page(config.names_code_page);
    if (const std::optional<std::string> folder = platform::cache_folder(); folder && config.index_cache_bound)
        p.lasting = archive::lasting_index_place{*folder, config.index_cache_bound};
    if (p.codecs.Load() != S_OK) {
        p.out.print_message("7z.dll not found!");
        return 1;
    }
    // A reference that is never returned: no release by an archive handler may
    // free the registry.
    p.codecs.AddRef();

    try {
        p.server = std::make_unique<http::server>(p.router, config.limits);
    } catch (const std::exception& failure) {
        return report_server_failure(out, failure);
    }
    const std::string address = "http://127.0.0.1:" + std::to_string(p.server->port()) + "/";
    p.out.print_bytes("server listening @ " + address + "\n");
    if (p.page.place != page_place::working_directory && p.page.place != page_place::nowhere)
        p.out.print_bytes("serving the viewer's page from " + p.page.folder + "\n");

    p.router.set_collect_budget(config.collect_budget);
    p.router.serve_inner_archives(p.inner);
    p.router.add_route(std::make_unique<browse::search_route>(p.router.context(), p.items, p.searches));
    p.router.add_route(std::make_unique<browse::test_route>(p.router.context(), p.items, p.searches));
    p.router.add_route(std::make_unique<browse::checksum_route>(p.router.context()));
    p.router.add_route(std::make_unique<browse::zip_route>(p.router.context(), p.items, p.searches, archive_path));
    const auto start_serving = [&p] {
        p.serving = std::thread([&p] {
            try {
                p.server->run();
            } catch (const std::exception& failure) {
                p.run_failure = failure.what();
            }
        });
    };
    // A first read that goes on for a while starts the event loop and opens
    // the browser at once: the page files are served and the page shows how
    // far the read has come, while its other requests wait for the listing.
    bool browser_opened = false;
    const auto reading_started = std::chrono::steady_clock::now();
    open_and_list(p, archive_path, [&](const std::string& name, std::uint64_t read, std::uint64_t total) {
        if (!browser_opened && std::chrono::steady_clock::now() - reading_started >= early_serving_after) {
            browser_opened = true;
            p.router.hold_until_published();
            start_serving();
            platform::launch_browser(address + "/index.html");
        }
        p.router.progress().update(name, read, total);
    });
    auto serve_listed = [&p, content = archive_content_of(p, archive_path),
                         path = std::string(archive_path)]() mutable {
        p.router.publish(std::move(content));
        read_details_in_background(p, path);
        p.server->stop_on_signals({SIGINT, SIGTERM});
    };
    if (p.serving.joinable())
        p.server->post(std::move(serve_listed));  // on the event loop, which serves already
    else
        serve_listed();
    p.out.print_bytes("Press Ctrl+C to stop.\n");
    if (!browser_opened) {
        platform::launch_browser(address + "/index.html");
        start_serving();
    }

    p.serving.join();
    if (!p.run_failure.empty()) {
        p.out.print_error(p.run_failure.c_str());
        return 2;
    }
    return 0;
}

}  // namespace app
