// The request parser's state machine, one byte per step.
#include "http/request_parser.h"

namespace http {
namespace {

// The classes look at the byte as a signed value: bytes 0x80 to 0xFF are
// neither characters nor controls.
int signed_value(char input)
{
    return static_cast<signed char>(input);
}

bool is_char(char input)
{
    return signed_value(input) >= 0;
}

bool is_ctl(char input)
{
    const int value = signed_value(input);
    return (value >= 0 && value <= 31) || value == 127;
}

bool is_tspecial(char input)
{
    switch (input) {
    case '(': case ')': case '<': case '>': case '@':
    case ',': case ';': case ':': case '\\': case '"':
    case '/': case '[': case ']': case '?': case '=':
    case '{': case '}': case ' ': case '\t':
        return true;
    default:
        return false;
    }
}

bool is_digit(char input)
{
    return input >= '0' && input <= '9';
}

bool is_token(char input)
{
    return is_char(input) && !is_ctl(input) && !is_tspecial(input);
}

// Optional whitespace after a value is not part of it.
void trim_trailing_whitespace(std::string& value)
{
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.pop_back();
}

// Unsigned arithmetic wraps, so a version of any number of digits is harmless.
void accumulate(int& number, char digit)
{
    number = static_cast<int>(static_cast<unsigned>(number) * 10u + static_cast<unsigned>(digit - '0'));
}

}  // namespace

boost::tribool request_parser::consume(request& req, char input)
{
    if (consumed_ == max_header_bytes)
        return false;  // the bound was reached: nothing more is taken in
    ++consumed_;
    const boost::tribool result = step(req, input);
    if (boost::indeterminate(result) && consumed_ == max_header_bytes)
        return false;
    return result;
}

std::pair<boost::tribool, const char*> request_parser::parse(request& req, const char* begin, const char* end)
{
    while (begin != end) {
        const boost::tribool result = consume(req, *begin++);
        if (!boost::indeterminate(result))
            return {result, begin};
    }
    return {boost::indeterminate, end};
}

boost::tribool request_parser::step(request& req, char input)
{
    // Moves to `next` and asks for more input.
    auto go_to = [this](state next) {
        state_ = next;
        return boost::tribool(boost::indeterminate);
    };
    const boost::tribool stay = boost::indeterminate;
    const boost::tribool fail = false;

    switch (state_) {
    case state::method_start:
        if (!is_token(input))
            return fail;
        req.method.push_back(input);
        return go_to(state::method);
    case state::method:
        if (input == ' ')
            return go_to(state::uri);
        if (!is_token(input))
            return fail;
        req.method.push_back(input);
        return stay;
    case state::uri:
        if (input == ' ')
            return go_to(state::http_h);
        if (is_ctl(input))
            return fail;
        req.uri.push_back(input);
        return stay;
    case state::http_h:
        return input == 'H' ? go_to(state::http_t_1) : fail;
    case state::http_t_1:
        return input == 'T' ? go_to(state::http_t_2) : fail;
    case state::http_t_2:
        return input == 'T' ? go_to(state::http_p) : fail;
    case state::http_p:
        return input == 'P' ? go_to(state::http_slash) : fail;
    case state::http_slash:
        if (input != '/')
            return fail;
        req.http_version_major = 0;
        req.http_version_minor = 0;
        return go_to(state::major_start);
    case state::major_start:
        if (!is_digit(input))
            return fail;
        accumulate(req.http_version_major, input);
        return go_to(state::major);
    case state::major:
        if (input == '.')
            return go_to(state::minor_start);
        if (!is_digit(input))
            return fail;
        accumulate(req.http_version_major, input);
        return stay;
    case state::minor_start:
        if (!is_digit(input))
            return fail;
        accumulate(req.http_version_minor, input);
        return go_to(state::minor);
    case state::minor:
        if (input == '\r')
            return go_to(state::request_line_lf);
        if (!is_digit(input))
            return fail;
        accumulate(req.http_version_minor, input);
        return stay;
    case state::request_line_lf:
        return input == '\n' ? go_to(state::header_line_start) : fail;
    case state::header_line_start:
        if (input == '\r')
            return go_to(state::final_lf);
        if ((input == ' ' || input == '\t') && !req.headers.empty())
            return go_to(state::continuation);
        if (!is_token(input))
            return fail;
        req.headers.push_back({std::string(1, input), std::string()});
        return go_to(state::header_name);
    case state::continuation:
        if (input == '\r')
            return go_to(state::header_lf);
        if (input == ' ' || input == '\t')
            return stay;
        if (is_ctl(input))
            return fail;
        req.headers.back().value.push_back(input);
        return go_to(state::header_value);
    case state::header_name:
        if (input == ':')
            return go_to(state::space_before_value);
        if (!is_token(input))
            return fail;
        req.headers.back().name.push_back(input);
        return stay;
    case state::space_before_value:
        // Optional whitespace before the value.
        if (input == ' ' || input == '\t')
            return stay;
        if (input == '\r')
            return go_to(state::header_lf);
        if (is_ctl(input))
            return fail;
        req.headers.back().value.push_back(input);
        return go_to(state::header_value);
    case state::header_value:
        if (input == '\r') {
            trim_trailing_whitespace(req.headers.back().value);
            return go_to(state::header_lf);
        }
        if (is_ctl(input) && input != '\t')
            return fail;
        req.headers.back().value.push_back(input);
        return stay;
    case state::header_lf:
        return input == '\n' ? go_to(state::header_line_start) : fail;
    case state::final_lf:
        return input == '\n';
    }
    return fail;
}

}  // namespace http
