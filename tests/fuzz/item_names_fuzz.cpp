// Fuzz target for the decoding of item names that are not UTF-8. The first byte
// of the input picks a code page; the rest is names, one per line, taken as
// the bytes an archive stores. Decoding as UTF-8 turns back into the same bytes;
// whatever a code page makes is UTF-8, and so is every shown name, which holds
// no escape; the names decoder hands every name on once, in order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "archive/item_names.h"

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void check_shown(std::string_view name)
{
    const std::string shown = archive::shown_name(name);
    check(archive::is_utf8(shown) && !archive::holds_escapes(shown));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static constexpr std::uint32_t code_pages[] = {0, 932, 936, 949, 950, 866, 1251, 1252, 20866, 54936, 65001, 50220};
    const std::uint32_t code_page = code_pages[data[0] % (sizeof code_pages / sizeof code_pages[0])];
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<std::string> names;
    for (std::size_t start = 0; start <= input.size();) {
        std::size_t end = input.find('\n', start);
        if (end == std::string::npos)
            end = input.size();
        names.push_back(input.substr(start, end - start));
        start = end + 1;
    }

    std::optional<platform::code_page_decoder> decoder;
    if (code_page != 0) {
        decoder.emplace(code_page);
        check(decoder->usable());
    }
    std::vector<std::string> escaped;
    for (const std::string& bytes : names) {
        const std::string as_utf8 = archive::decoded_name(bytes);
        check(archive::is_utf8(as_utf8));
        check(archive::unescaped_bytes(as_utf8) == bytes);
        check(archive::is_utf8(bytes) || archive::holds_escapes(as_utf8));
        check_shown(as_utf8);
        check_shown(bytes);
        if (decoder) {
            const std::string decoded = archive::decoded_name(bytes, &*decoder);
            check(archive::is_utf8(decoded));
            check_shown(decoded);
        }
        escaped.push_back(as_utf8);
    }

    std::vector<std::uint32_t> order;
    const archive::names_decoder::visitor visit = [&order](std::string_view name, std::uint32_t index) {
        check(archive::is_utf8(name));
        order.push_back(index);
    };
    archive::names_decoder decoding(code_page, visit);
    for (std::size_t i = 0; i < escaped.size(); ++i)
        decoding.add(escaped[i], static_cast<std::uint32_t>(i));
    const archive::names_outcome outcome = decoding.finish();
    check(order.size() == escaped.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        check(order[i] == i);
    check(outcome.left_undecoded <= outcome.escaped);
    return 0;
}
