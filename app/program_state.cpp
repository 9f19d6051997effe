// Storage of the program-wide state.
#include "app/program_state.h"

bool platform_is_nt = false;
http::server::server* server_instance = nullptr;
