// The start-up sequence: registry, server, archive listing, browser, event loop.
#include "app/run_sequence.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "app/console.h"
#include "app/program_state.h"
#include "archive/open_archive.h"
#include "archive/program_archive.h"
#include "http/server.h"
#include "platform/browser.h"

namespace {

constexpr const char document_root[] = "HTML/";

int report_server_failure(const std::exception& failure)
{
    std::fprintf(stderr, "vorsel: %s\n", failure.what());
    return 2;
}

}  // namespace

int run_sequence(const char* archive_path)
{
    if (program_codecs().Load() != S_OK) {
        print_message("7z.dll not found!");
        return 1;
    }

    std::unique_ptr<http::server::server> owned_server;
    try {
        owned_server.reset(http::server::start_server(document_root));
    } catch (const std::exception& failure) {
        return report_server_failure(failure);
    }

    unsigned port = http::server::server_port();
    std::printf("server listening @ http://127.0.0.1:%u/\n", port);
    std::fflush(stdout);

    // A reference that is never returned: no release by an archive handler may
    // free the registry.
    program_codecs().AddRef();
    open_and_list(archive_path, server_instance->handler().tree());

    launch_browser("http://127.0.0.1:" + std::to_string(port) + "//index.html");

    int status = 0;
    try {
        http::server::run_server();
    } catch (const std::exception& failure) {
        status = report_server_failure(failure);
    }
    owned_server.reset();
    server_instance = nullptr;
    return status;
}
