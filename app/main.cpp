// Program entry: banner, command-line check, then the start-up sequence with the
// one argument.
#include "app/console.h"
#include "app/messages.h"
#include "app/run_sequence.h"

int main(int argc, char** argv)
{
    app::print_text(app::banner_text);
    app::print_newline();

    if (argc != 2) {
        app::print_text(app::usage_text);
        app::print_newline();
        return 1;
    }
    return app::run_sequence(argv[1]);
}
