#include "http/request_guard.h"

#include <gtest/gtest.h>

using http::request_is_from_this_machine;
using http::header;

TEST(RequestGuard, OnlyLoopbackHostsAndNoCrossSiteRequests)
{
    struct row {
        std::vector<header> headers;
        bool allowed;
    };
    const row table[] = {
        {{}, true},
        {{{"Host", "127.0.0.1"}}, true},
        {{{"Host", "127.0.0.1:8080"}}, true},
        {{{"host", "LOCALHOST:1"}}, true},
        {{{"HOST", "[::1]:65535"}}, true},
        {{{"Host", "[::1]"}, {"Sec-Fetch-Site", "same-origin"}}, true},
        {{{"Sec-Fetch-Site", "none"}}, true},
        {{{"Host", "localhost.evil.example"}}, false},
        {{{"Host", "127.0.0.1.evil.example"}}, false},
        {{{"Host", "[::1]evil.example"}}, false},
        {{{"Host", "127.0.0.1:80@evil.example"}}, false},
        {{{"Host", "127.0.0.1:"}}, false},
        {{{"Host", "127.0.0.1:8x"}}, false},
        {{{"Host", "127.0.0.1:65536"}}, false},
        {{{"Host", "127.0.0.1:0065535"}}, false},
        {{{"Host", "localhost:99999999999"}}, false},
        {{{"Host", ""}}, false},
        {{{"Host", "evil.example"}}, false},
        {{{"Host", "127.0.0.1"}, {"Host", "127.0.0.1"}}, false},
        {{{"Host", "127.0.0.1"}, {"Sec-Fetch-Site", "cross-site"}}, false},
        {{{"sec-fetch-site", "Cross-Site"}}, false},
    };
    for (const row& r : table) {
        std::string described;
        for (const header& h : r.headers)
            described += h.name + ": " + h.value + "; ";
        EXPECT_EQ(request_is_from_this_machine(r.headers), r.allowed) << described;
    }
}
