// The start-up sequence: registry, then the archive and its listing.
#include "app/run_sequence.h"

#include "app/console.h"
#include "archive/open_archive.h"
#include "archive/program_archive.h"
#include "browse/content_tree.h"

int run_sequence(const char* archive_path)
{
    if (program_codecs().Load() != S_OK) {
        print_message("7z.dll not found!");
        return 1;
    }

    browse::content_tree tree;
    // A reference that is never returned: no release by an archive handler may
    // free the registry.
    program_codecs().AddRef();
    open_and_list(archive_path, tree);
    return 0;
}
