// The status lines and pages of the known statuses, and the reply's layout on
// the wire.
#include "http/reply.h"

#include <string_view>

namespace http {
namespace {

struct status_text {
    status_code status;
    std::string_view line;
    std::string_view page;
};

// The first entry that matches wins; 500 stands in for every other number.
constexpr status_text status_texts[] = {
    {ok, "HTTP/1.0 200 OK\r\n", ""},
    {created, "HTTP/1.0 201 Created\r\n",
     "<html><head><title>Created</title></head><body><h1>201 Created</h1></body></html>"},
    {accepted, "HTTP/1.0 202 Accepted\r\n",
     "<html><head><title>Accepted</title></head><body><h1>202 Accepted</h1></body></html>"},
    {no_content, "HTTP/1.0 204 No Content\r\n",
     "<html><head><title>No Content</title></head><body><h1>204 Content</h1></body></html>"},
    {partial_content, "HTTP/1.0 206 Partial Content\r\n", ""},
    {multiple_choices, "HTTP/1.0 300 Multiple Choices\r\n",
     "<html><head><title>Multiple Choices</title></head><body><h1>300 Multiple Choices</h1></body></html>"},
    {moved_permanently, "HTTP/1.0 301 Moved Permanently\r\n",
     "<html><head><title>Moved Permanently</title></head><body><h1>301 Moved Permanently</h1></body></html>"},
    {moved_temporarily, "HTTP/1.0 302 Moved Temporarily\r\n",
     "<html><head><title>Moved Temporarily</title></head><body><h1>302 Moved Temporarily</h1></body></html>"},
    {not_modified, "HTTP/1.0 304 Not Modified\r\n",
     "<html><head><title>Not Modified</title></head><body><h1>304 Not Modified</h1></body></html>"},
    {bad_request, "HTTP/1.0 400 Bad Request\r\n",
     "<html><head><title>Bad Request</title></head><body><h1>400 Bad Request</h1></body></html>"},
    {unauthorized, "HTTP/1.0 401 Unauthorized\r\n",
     "<html><head><title>Unauthorized</title></head><body><h1>401 Unauthorized</h1></body></html>"},
    {forbidden, "HTTP/1.0 403 Forbidden\r\n",
     "<html><head><title>Forbidden</title></head><body><h1>403 Forbidden</h1></body></html>"},
    {not_found, "HTTP/1.0 404 Not Found\r\n",
     "<html><head><title>Not Found</title></head><body><h1>404 Not Found</h1></body></html>"},
    {conflict, "HTTP/1.0 409 Conflict\r\n",
     "<html><head><title>Conflict</title></head><body><h1>409 Conflict</h1></body></html>"},
    {length_required, "HTTP/1.0 411 Length Required\r\n",
     "<html><head><title>Length Required</title></head><body><h1>411 Length Required</h1></body></html>"},
    {payload_too_large, "HTTP/1.0 413 Payload Too Large\r\n",
     "<html><head><title>Payload Too Large</title></head><body><h1>413 Payload Too Large</h1></body></html>"},
    {range_not_satisfiable, "HTTP/1.0 416 Range Not Satisfiable\r\n",
     "<html><head><title>Range Not Satisfiable</title></head><body><h1>416 Range Not Satisfiable</h1></body></html>"},
    {internal_server_error, "HTTP/1.0 500 Internal Server Error\r\n",
     "<html><head><title>Internal Server Error</title></head><body><h1>500 Internal Server Error</h1></body></html>"},
    {not_implemented, "HTTP/1.0 501 Not Implemented\r\n",
     "<html><head><title>Not Implemented</title></head><body><h1>501 Not Implemented</h1></body></html>"},
    {bad_gateway, "HTTP/1.0 502 Bad Gateway\r\n",
     "<html><head><title>Bad Gateway</title></head><body><h1>502 Bad Gateway</h1></body></html>"},
    {service_unavailable, "HTTP/1.0 503 Service Unavailable\r\n",
     "<html><head><title>Service Unavailable</title></head><body><h1>503 Service Unavailable</h1></body></html>"},
};

constexpr std::string_view name_value_separator = ": ";
constexpr std::string_view crlf = "\r\n";

const status_text& text_of(status_code status)
{
    for (const status_text& text : status_texts) {
        if (text.status == status)
            return text;
    }
    return text_of(internal_server_error);
}

}  // namespace

std::string wire_head(const reply& r)
{
    const std::string_view line = text_of(r.status).line;
    std::size_t size = line.size() + crlf.size();
    for (const header& h : r.headers)
        size += h.name.size() + name_value_separator.size() + h.value.size() + crlf.size();
    std::string head;
    head.reserve(size);
    head.append(line);
    for (const header& h : r.headers)
        head.append(h.name).append(name_value_separator).append(h.value).append(crlf);
    head.append(crlf);
    return head;
}

std::string_view wire_body(const reply& r)
{
    return r.shared_content ? std::string_view(*r.shared_content).substr(r.shared_offset, r.shared_length)
                            : std::string_view(r.content);
}

reply canned_reply(status_code status)
{
    reply r;
    r.status = status;
    r.content = text_of(status).page;
    r.headers.push_back({"Content-Length", std::to_string(r.content.size())});
    r.headers.push_back({"Content-Type", "text/html"});
    return r;
}

reply text_reply(status_code status, std::string text)
{
    reply r;
    r.status = status;
    r.content = std::move(text);
    r.headers.push_back({"Content-Length", std::to_string(r.content.size())});
    r.headers.push_back({"Content-Type", "text/plain; charset=utf-8"});
    return r;
}

}  // namespace http
