// Item names that are not UTF-8. Formats that store names as bytes (tar, cpio,
// old rar, zip without its UTF-8 flag...) have them decoded by the library in
// the locale's multibyte encoding, which is UTF-8 once the program has set its
// locale; each byte that does not decode there reaches us as the library's
// escape U+EF00 + byte (U+EF80..U+EFFF, in UTF-8 EE BE 80..EE BF BF), and so
// does each byte of a character that is itself in that range. Such a name is
// turned back into its bytes and decoded with the archive's code page: the one
// set for the program (VORSEL_CODE_PAGE), else one detected from all of the
// archive's names that need it, else none. What still does not decode stays
// escaped: the tree keeps the escaped name, so that an address leads to it and
// two names that differ only there stay two, and the listing shows each escape
// as U+FFFD.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/code_page_guess.h"
#include "platform/code_page_decoder.h"

namespace archive {

inline constexpr char32_t name_escape_base = 0xEF00;

// Whether `name` (UTF-8) holds one of the library's escapes.
bool holds_escapes(std::string_view name);

// The bytes that `name` stands for: each escape becomes its byte, everything
// else stays as its UTF-8.
std::string unescaped_bytes(std::string_view name);

// `bytes` as a name: what `decoder` decodes, as UTF-8, and each byte that it
// does not decode as its escape, as is each byte of a character in the escapes'
// own range (so that no decoded name reads as an escaped one). Without a
// decoder `bytes` are taken as UTF-8.
std::string decoded_name(std::string_view bytes, platform::code_page_decoder* decoder = nullptr);

// Whether `text` is UTF-8 throughout (shortest forms, no surrogates).
bool is_utf8(std::string_view text);

// The name as the listing shows it: each escape, and each byte that is not
// UTF-8, becomes U+FFFD.
std::string shown_name(std::string_view name);

// How one listing decoded its names.
struct names_outcome {
    std::uint32_t escaped = 0;          // names that the library could not decode
    std::uint32_t left_undecoded = 0;   // names that still hold bytes that nothing decoded
    std::optional<std::uint32_t> code_page;  // the one that decoded them
    bool detected = false;              // it was detected (else set for the program)
    std::string detected_charset;       // what the detector found, also when it was not taken
};

// The code page of `names` (each the bytes of one name that is not UTF-8),
// made by a system of `origin`. What the detector finds is taken when it is
// found from enough bytes (at least six that are not ASCII) and decodes them
// nearly all (at most one in ten of those bytes left undecoded, which a wrong
// guess of a multibyte code page leaves far more of), unless it is a Latin
// single-byte one: among those, and where the detector finds nothing that
// decodes, latin_code_page() chooses, from fewer bytes too when the origin is
// known. `charset` gets the detector's answer, or the name of the code page
// chosen in its stead and the origin that led to it.
std::optional<std::uint32_t> detect_names_code_page(const std::vector<std::string>& names, names_origin origin,
                                                    std::string& charset);

// Decodes the names of one listing, given in index order, and hands each on in
// that order: at once while no name before it needed decoding; from the first
// that does, names are held until finish(), when the code page is known from
// all of them and from the origin of most of those that need it.
class names_decoder {
public:
    using visitor = std::function<void(std::string_view name, std::uint32_t index)>;

    // `code_page` decodes the names that are not UTF-8, 0 to detect one; `visit` outlives the decoder.
    names_decoder(std::uint32_t code_page, const visitor& visit) : code_page_(code_page), visit_(visit) {}

    // `origin`: the system that made the item, which matters only for a name that needs decoding.
    void add(std::string_view name, std::uint32_t index, names_origin origin = names_origin::unknown);

    // Decodes and hands on the names held; tells how.
    names_outcome finish();

private:
    std::uint32_t code_page_;
    const visitor& visit_;
    bool holding_ = false;
    std::vector<std::pair<std::uint32_t, std::string>> held_;
    std::vector<std::size_t> escaped_;  // positions in held_ of the names with escapes
    std::uint32_t from_dos_ = 0;        // of those, the ones made on DOS or Windows
    std::uint32_t from_unix_ = 0;       // and on Unix
};

}  // namespace archive
