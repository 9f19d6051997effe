// Reading the settings from the environment.
#include "app/settings.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>

#include "platform/code_page_decoder.h"
#include "platform/environment.h"

namespace app {
namespace {

std::optional<std::uint64_t> number_from(const char* name)
{
    const std::optional<std::string> text = platform::environment_variable(name);
    if (!text || text->empty())
        return std::nullopt;
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || end != text->data() + text->size())
        return std::nullopt;
    return value;
}

}  // namespace

settings read_settings()
{
    settings result;
    if (auto ms = number_from("VORSEL_HEADER_TIMEOUT_MS"))
        result.limits.header_timeout = std::chrono::milliseconds(*ms);
    if (auto ms = number_from("VORSEL_WRITE_TIMEOUT_MS"))
        result.limits.write_timeout = std::chrono::milliseconds(*ms);
    const std::uint64_t memory = platform::physical_memory_bytes();
    result.collect_budget = memory ? memory / 4 : std::uint64_t{1} << 30;
    if (auto bytes = number_from("VORSEL_MEMORY_BUDGET"))
        result.collect_budget = *bytes;
    result.cache_budget = std::min<std::uint64_t>(memory ? memory / 8 : std::uint64_t{256} << 20, std::uint64_t{2} << 30);
    if (auto bytes = number_from("VORSEL_CACHE_BYTES"))
        result.cache_budget = *bytes;
    if (auto bytes = number_from("VORSEL_INDEX_CACHE"))
        result.index_cache_bound = *bytes;
    if (const std::optional<std::string> text = platform::environment_variable("VORSEL_CODE_PAGE");
        text && !text->empty()) {
        const std::optional<std::uint64_t> code_page = number_from("VORSEL_CODE_PAGE");
        if (code_page && *code_page > 0 && *code_page <= UINT32_MAX &&
            platform::code_page_decoder(static_cast<std::uint32_t>(*code_page)).usable())
            result.names_code_page = static_cast<std::uint32_t>(*code_page);
        else
            result.refused_code_page = *text;
    }
    return result;
}

}  // namespace app
