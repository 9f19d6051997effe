// The order in which formats are offered an archive: the formats whose
// signature stands where it belongs at the file's start first, then those
// whose signatures occur further into its leading bytes, earliest first.
#pragma once

#include <cstddef>

#include "archive/codecs.h"

// Positions of `formats` in the order to try them for a file that begins with
// `data`. First come the formats one of whose signatures sits at its offset
// from the start (ordered by that offset), then zip when `zip_ends_file` (its
// end record ends the file) and it is not among them yet: an archive's own
// format wins over an archive stored inside it. Then the formats whose
// signatures occur elsewhere, by their earliest occurrence; at one position
// the later format comes first. Formats whose signatures never occur follow
// in their own order. When "udf" directly follows "iso" the two change places.
// Signatures shorter than 2 bytes are not looked for.
CRecordVector<int> OrderFormatsBySignature(const CObjectVector<CArcInfoEx>& formats, const unsigned char* data,
                                           std::size_t size, bool zip_ends_file = false);

// Whether one of the signatures of `format` sits at its offset in `data`, the
// first `size` bytes of a file.
bool SignatureSitsAtItsOffset(const CArcInfoEx& format, const unsigned char* data, std::size_t size);

// Whether the last `size` bytes of a file, `tail`, end with a zip's end of
// central directory record: its signature, then 18 bytes, then exactly the
// comment length it gives.
bool EndsWithZipEndRecord(const unsigned char* tail, std::size_t size);
