// The needle of a pattern, and looking for it sixteen places at a time.
#include "browse/literal_prefilter.h"

#include <re2/filtered_re2.h>
#include <re2/re2.h>

#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace browse {
namespace {

// Beyond this many atoms the prefilter's quadratic look at them is not worth it.
constexpr std::size_t most_atoms = 256;

char ascii_lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool is_letter(char c)
{
    return ascii_lower(c) >= 'a' && ascii_lower(c) <= 'z';
}

// Bytes that an ASCII-folded look may not stand for: what is not ASCII, 'k'
// and 's' (the Kelvin sign and the long s fold to them), and the line end (no
// line holds it).
bool folds_safely(char c)
{
    return static_cast<unsigned char>(c) < 0x80 && ascii_lower(c) != 'k' && ascii_lower(c) != 's' && c != '\n';
}

// The longest run of `atom` that folds safely, when longer than `best`.
void keep_longest_run(const std::string& atom, std::string& best)
{
    std::size_t start = 0;
    for (std::size_t at = 0; at <= atom.size(); ++at) {
        if (at < atom.size() && folds_safely(atom[at]))
            continue;
        if (at - start > best.size())
            best = atom.substr(start, at - start);
        start = at + 1;
    }
}

}  // namespace

literal_prefilter::literal_prefilter(std::string needle) : needle_(std::move(needle))
{
    for (char& c : needle_)
        c = ascii_lower(c);
    first_fold_ = is_letter(needle_.front()) ? 0x20 : 0;
    last_fold_ = is_letter(needle_.back()) ? 0x20 : 0;
}

bool literal_prefilter::holds_needle_at(const char* at) const
{
    for (std::size_t i = 0; i < needle_.size(); ++i)
        if (ascii_lower(at[i]) != needle_[i])
            return false;
    return true;
}

std::size_t literal_prefilter::find(std::string_view text, std::size_t from) const
{
    const std::size_t length = needle_.size();
    if (from > text.size() || text.size() - from < length)
        return std::string_view::npos;
    const char* data = text.data();
    const std::size_t last_start = text.size() - length;  // the last place the needle fits
    std::size_t at = from;
#if defined(__SSE2__)
    // Sixteen places at once: those whose first and last bytes are the needle's.
    const __m128i first = _mm_set1_epi8(needle_.front()), last = _mm_set1_epi8(needle_.back());
    const __m128i first_fold = _mm_set1_epi8(static_cast<char>(first_fold_));
    const __m128i last_fold = _mm_set1_epi8(static_cast<char>(last_fold_));
    for (; at + 16 <= last_start + 1; at += 16) {
        const __m128i starts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        const __m128i ends = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + length - 1));
        unsigned places = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(starts, first_fold), first),
                          _mm_cmpeq_epi8(_mm_or_si128(ends, last_fold), last))));
        for (; places != 0; places &= places - 1) {
            const std::size_t place = at + static_cast<std::size_t>(__builtin_ctz(places));
            if (holds_needle_at(data + place))
                return place;
        }
    }
#endif
    for (; at <= last_start; ++at) {
        if (static_cast<char>(data[at] | static_cast<char>(first_fold_)) == needle_.front() && holds_needle_at(data + at))
            return at;
    }
    return std::string_view::npos;
}

std::optional<literal_prefilter> prefilter_for(const re2::RE2& compiled)
{
    re2::FilteredRE2 filter;
    int id = 0;
    if (filter.Add(compiled.pattern(), compiled.options(), &id) != RE2::NoError)
        return std::nullopt;
    std::vector<std::string> atoms;
    filter.Compile(&atoms);
    if (atoms.size() > most_atoms)
        return std::nullopt;
    // An atom is needed when the pattern cannot pass with all the others alone.
    std::string best;
    std::vector<int> others, passing;
    for (std::size_t i = 0; i < atoms.size(); ++i) {
        others.clear();
        for (std::size_t j = 0; j < atoms.size(); ++j) {
            if (j != i)
                others.push_back(static_cast<int>(j));
        }
        filter.AllPotentials(others, &passing);
        if (passing.empty())
            keep_longest_run(atoms[i], best);
    }
    if (best.size() < literal_prefilter::shortest)
        return std::nullopt;
    return literal_prefilter(std::move(best));
}

}  // namespace browse
