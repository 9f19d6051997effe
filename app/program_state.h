// Program-wide state that several subsystems read. Both are written on the main
// thread before anything else could read them.
#pragma once

namespace http::server {
class server;
}

// True when files are opened by their wide names; set first thing by main.
extern bool platform_is_nt;

// The one HTTP server, once start-up has created it; null before and after.
extern http::server::server* server_instance;
