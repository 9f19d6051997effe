// Program entry: platform flag, banner, command-line check, then the start-up
// sequence with the one argument.
#include "app/console.h"
#include "app/messages.h"
#include "app/program_state.h"
#include "app/run_sequence.h"
#include "platform/version.h"

int main(int argc, char** argv)
{
    platform_is_nt = platform_opens_files_by_wide_name();

    print_text(banner_text);
    print_newline();

    if (argc != 2) {
        print_text(usage_text);
        print_newline();
        return 1;
    }
    return run_sequence(argv[1]);
}
