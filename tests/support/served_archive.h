// The real program serving one archive, for tests that send it many requests or
// damaged archives. Its standard output passes through a filter that forwards
// the lines up to the listening line and drops the rest, so that the request
// log of a long run never fills the pipe and blocks the server. Its standard
// input is closed at once, so that an archive no format accepts ends it with
// status 3 instead of waiting for a key.
#pragma once

#include <string>

#include "tests/support/running_program.h"

namespace test_support {

class served_archive {
public:
    // Starts `executable` on `archive`; `options.environment` gets
    // BROWSER=/bin/true added.
    served_archive(const std::string& executable, const std::string& archive, process_options options = {});

    // The port it listens on; 0 when it never said.
    unsigned short port() const { return port_; }

    running_program& program() { return program_; }

private:
    running_program program_;
    unsigned short port_ = 0;
};

}  // namespace test_support
