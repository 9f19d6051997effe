// Program entry: banner, command-line check, then the start-up sequence with the
// one argument.
#include "app/console.h"
#include "app/messages.h"
#include "app/run_sequence.h"
#include "platform/signals.h"
#include "platform/text_locale.h"

int main(int argc, char** argv)
{
    // The library decodes multibyte item names in the locale's character type.
    platform::use_environment_text_locale();
    platform::ignore_broken_pipe();
    app::console console;
    console.print_text(app::banner_text);
    console.print_newline();

    if (argc != 2) {
        console.print_text(app::usage_text);
        console.print_newline();
        return 1;
    }
    return app::run_sequence(console, argv[1]);
}
