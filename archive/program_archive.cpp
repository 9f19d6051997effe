// Storage of the archive side's program-wide objects; being members of one object
// fixes the order in which they are released at exit.
#include "archive/program_archive.h"

program_archive_objects program_archive;
