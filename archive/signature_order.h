// The order in which formats are offered an archive: by where their start
// signatures first occur in its leading bytes.
#pragma once

#include "archive/codecs.h"

// Positions of `formats` in the order to try them for a file that begins with
// `data`: formats whose signature occurs earliest come first, and at one position
// the later format comes first; formats whose signature never occurs follow in
// their own order. When "udf" directly follows "iso" the two change places.
CRecordVector<int> OrderFormatsBySignature(const CObjectVector<CArcInfoEx>& formats, const unsigned char* data,
                                           std::size_t size);
