// The start-up sequence: registry, server, archive listing, browser, event loop.
// The program object owns every part and wires them together; its members are
// made in the order they depend on each other and destroyed in reverse.
#include "app/run_sequence.h"

#include <algorithm>
#include <csignal>
#include <exception>
#include <memory>
#include <string>
#include <thread>

#include "app/console.h"
#include "app/console_log.h"
#include "archive/archive_file.h"
#include "archive/extraction_pool.h"
#include "browse/archive_items.h"
#include "browse/content_tree.h"
#include "browse/router.h"
#include "http/server.h"
#include "platform/browser.h"
#include "platform/console_input.h"
#include "platform/process_exit.h"

namespace app {
namespace {

// The viewer's page folder, under the working directory.
constexpr const char page_folder[] = "HTML/";

// As many extracting workers as the machine has cores, at least two.
std::size_t worker_count()
{
    return std::max<std::size_t>(2, std::thread::hardware_concurrency());
}

// The workers start idle and take jobs only once the server runs, after the
// archive has been listed.
struct program {
    CCodecs codecs;
    archive::archive_file archive;
    browse::content_tree tree;
    console_log log;
    archive::extraction_pool pool{codecs, archive, worker_count()};
    browse::archive_items items{pool};
    browse::router router{tree, items, log, page_folder};
    std::unique_ptr<http::server> server;
};

int report_server_failure(const std::exception& failure)
{
    print_error(failure.what());
    return 2;
}

// Opens the archive and lists it into the tree, with today's console messages;
// ends the process when no format accepts the file.
void open_and_list(program& p, const char* archive_path)
{
    const archive::open_outcome outcome = p.archive.open(p.codecs, archive_path);
    if (outcome.password_asked)
        print_message("Password is not defined");
    switch (outcome.status) {
    case archive::open_status::cannot_open_file:
        print_message("Can not open input file");
        return;
    case archive::open_status::not_an_archive:
        print_message("Can not get input class object");
        platform::read_one_character();
        platform::exit_process_at_once(3);
    case archive::open_status::opened:
        break;
    }
    p.archive.list_items([&p](std::string_view path, std::uint32_t index) { p.tree.add_item(path, index); });
}

}  // namespace

int run_sequence(const char* archive_path)
{
    program p;
    if (p.codecs.Load() != S_OK) {
        print_message("7z.dll not found!");
        return 1;
    }
    // A reference that is never returned: no release by an archive handler may
    // free the registry.
    p.codecs.AddRef();

    try {
        p.server = std::make_unique<http::server>(p.router);
    } catch (const std::exception& failure) {
        return report_server_failure(failure);
    }
    const std::string address = "http://127.0.0.1:" + std::to_string(p.server->port()) + "/";
    print_bytes("server listening @ " + address + "\n");

    open_and_list(p, archive_path);
    p.router.publish_listing(browse::build_served_listing(p.tree));
    p.server->stop_on_signals({SIGINT, SIGTERM});
    platform::launch_browser(address + "/index.html");

    try {
        p.server->run();
    } catch (const std::exception& failure) {
        return report_server_failure(failure);
    }
    return 0;
}

}  // namespace app
