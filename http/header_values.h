// Small readers of header names and values, shared by everything in http/ that
// looks at a request's headers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "http/header.h"

namespace http {

// ASCII letters compared without regard to case.
bool equals_ignoring_case(std::string_view a, std::string_view b);

// `text` without its leading and trailing spaces and tabs.
std::string_view trim(std::string_view text);

// Whether the "Accept-Encoding" headers accept gzip (a "gzip" coding whose
// weight is not zero).
bool accepts_gzip(const std::vector<header>& headers);

// Whether the "If-None-Match" headers name `etag` (a quoted strong tag) or "*":
// the client holds this version already. Weak tags compare by their opaque part.
bool none_match_holds(const std::vector<header>& headers, std::string_view etag);

// "inline; filename*=UTF-8''<name, percent-encoded>": a Content-Disposition that
// shows the item in place and proposes its own name when it is saved.
std::string inline_disposition(std::string_view file_name);

// "attachment; filename*=UTF-8''<name, percent-encoded>": saved, not shown.
std::string attachment_disposition(std::string_view file_name);

}  // namespace http
