// Choosing the code page of names in a Latin script among the single-byte ones
// they are likely in, by how each reads: the detector tells these apart poorly
// from a few short names and knows none of the DOS ones but 852, whereas the
// system that made the archive tells which to expect (cp1252, whose printable
// characters include all of ISO-8859-1's, and ISO-8859-2 from Unix; cp850, cp437
// and cp852 from DOS and Windows) unless the names read plainly better in another.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/code_page_guess.h"

namespace archive {

// Whether `code_page` is a single-byte one of the Latin script (1250, 1252,
// 852, ISO-8859-1, -2, -15...): the detector's choice among these is weighed again.
bool is_latin_code_page(std::uint32_t code_page);

// The name of one of the code pages expected from an origin ("IBM850",
// "WINDOWS-1252"...); empty for the others.
std::string_view latin_charset(std::uint32_t code_page);

// How a decoded name reads: `odd` counts the characters that names seldom hold
// where they stand (a capital after a small letter as in "cafÚ", a sign between
// letters as in "Sm›rrebr›d", a box-drawing character or a Greek letter against
// a Latin one); `in_words` counts the letters beyond ASCII that stand beside an
// ASCII letter, as "é" in "café" does.
struct name_reading {
    std::size_t odd = 0;
    std::size_t in_words = 0;
};

// How `name` (UTF-8 as decoded_name() gives it) reads; nothing when it holds a
// byte left undecoded or a control character, which no name is meant to hold.
std::optional<name_reading> read_name(std::string_view name);

// The Latin code page that reads `names` (each the bytes of one name that is
// not UTF-8) with the fewest odd characters: ties go to the one expected from
// `origin`, then to `detected` (the detector's choice, when it made one), then
// to the other origin's. It is taken when some letters stand in words and the
// odd characters are at most one in ten of the bytes beyond ASCII, or none when
// there are fewer than six such bytes.
std::optional<std::uint32_t> latin_code_page(const std::vector<std::string>& names, names_origin origin,
                                             std::optional<std::uint32_t> detected);

}  // namespace archive
