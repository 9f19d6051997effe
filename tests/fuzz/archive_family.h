// The body that every archive fuzz target shares: the input is an archive file
// of one family of formats, opened with those formats alone and listed; every
// item is extracted on its own, then all of them in one pass of the library
// when there are several (as the server decodes a solid block once), and the
// first once more through a second handler, as another worker would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

// Runs one input through the formats named in `formats` (the library's names,
// any case); an empty list keeps every format. The library is loaded once per
// process, with the formats of the first call.
int fuzz_archive_family(std::initializer_list<const wchar_t*> formats, const std::uint8_t* data, std::size_t size);
