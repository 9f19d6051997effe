// The archive side's program-wide objects: the codec and format registry, the
// input stream of the archive and the handler that opened it. They live until
// process exit and are released then in the order handler, stream, registry.
#pragma once

#include "archive/codecs.h"

struct program_archive_objects {
    CCodecs codecs;
    CMyComPtr<IInStream> stream;
    CMyComPtr<IInArchive> archive;  // empty until an archive has been opened
};

extern program_archive_objects program_archive;

// The registry that start-up loads (CCodecs::Load) and that archive handlers reach.
inline CCodecs& program_codecs()
{
    return program_archive.codecs;
}
