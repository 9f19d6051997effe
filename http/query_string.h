// The parameters of a request's query string ("a=1&b=two"), form-decoded: a
// '+' is a space, percent escapes are bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace http {

using query_parameter = std::pair<std::string, std::string>;

// The parameters in the order given; a parameter without '=' has an empty
// value. Nothing when an escape is malformed.
std::optional<std::vector<query_parameter>> parse_query(std::string_view query);

}  // namespace http
