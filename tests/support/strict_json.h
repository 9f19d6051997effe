// A strict JSON reader for tests (RFC 8259: no trailing commas, no control bytes
// in strings, only the standard escapes). It checks what the program writes the
// way a browser's JSON.parse would.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace test_support {

struct json_value {
    enum class kind { null, boolean, number, string, array, object } type = kind::null;
    bool boolean = false;
    double number = 0;
    std::string text;  // a string's value, as UTF-8
    std::vector<json_value> items;
    std::vector<std::string> keys;  // an object's keys, in order
    std::vector<json_value> values; // and their values

    // The member with that key; a test failure (exception) when there is none.
    const json_value& at(const std::string& key) const;
};

// The parsed document, or nothing when `text` is not strict JSON.
std::optional<json_value> parse_strict_json(const std::string& text);

}  // namespace test_support
