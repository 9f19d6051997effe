// The code pages of the charsets that the detector names.
#include "archive/code_page_guess.h"

#include <string>

namespace archive {
namespace {

bool same_ignoring_case(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

struct charset_code_page {
    std::string_view charset;
    std::uint32_t code_page;
};

// The charsets that uchardet 0.0.7 names, by the code page that decodes them.
constexpr charset_code_page known[] = {
    {"SHIFT_JIS", 932},      {"EUC-JP", 51932},        {"ISO-2022-JP", 50220},
    {"GB18030", 54936},      {"HZ-GB-2312", 52936},    {"BIG5", 950},
    {"EUC-KR", 949},         {"UHC", 949},             {"JOHAB", 1361},
    {"UTF-8", 65001},        {"IBM855", 855},          {"IBM866", 866},
    {"IBM852", 852},         {"KOI8-R", 20866},        {"MAC-CYRILLIC", 10007},
    {"MAC-CENTRALEUROPE", 10029},                      {"TIS-620", 874},
    {"WINDOWS-1250", 1250},  {"WINDOWS-1251", 1251},   {"WINDOWS-1252", 1252},
    {"WINDOWS-1253", 1253},  {"WINDOWS-1254", 1254},   {"WINDOWS-1255", 1255},
    {"WINDOWS-1256", 1256},  {"WINDOWS-1257", 1257},   {"WINDOWS-1258", 1258},
    {"ISO-8859-1", 28591},   {"ISO-8859-2", 28592},    {"ISO-8859-3", 28593},
    {"ISO-8859-4", 28594},   {"ISO-8859-5", 28595},    {"ISO-8859-6", 28596},
    {"ISO-8859-7", 28597},   {"ISO-8859-8", 28598},    {"ISO-8859-9", 28599},
    {"ISO-8859-11", 874},    {"ISO-8859-13", 28603},   {"ISO-8859-15", 28605},
};

// The "Host OS" texts of zip, rar, arj and lzh items that stand for DOS and
// Windows; of Unix there is one.
constexpr std::string_view dos_hosts[] = {"FAT",   "VFAT",  "NTFS",  "HPFS",  "OS/2",  "MS DOS",
                                          "MS-DOS", "MSDOS", "WIN95", "WIN32", "Windows"};

}  // namespace

names_origin origin_of_host(std::string_view host_os)
{
    for (const std::string_view host : dos_hosts)
        if (same_ignoring_case(host, host_os))
            return names_origin::dos;
    return same_ignoring_case(host_os, "Unix") ? names_origin::unix_like : names_origin::unknown;
}

std::optional<std::uint32_t> code_page_of_charset(std::string_view charset)
{
    for (const charset_code_page& entry : known)
        if (same_ignoring_case(entry.charset, charset))
            return entry.code_page;
    return std::nullopt;
}

}  // namespace archive
