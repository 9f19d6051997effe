// Program entry: banner, command-line check, then the start-up sequence with the
// one argument.
#include "app/console.h"
#include "app/messages.h"
#include "app/run_sequence.h"
#include "platform/process_start.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments = platform::start_process(argc, argv);
    app::console console;
    console.print_text(app::banner_text);
    console.print_newline();

    if (arguments.size() != 1) {
        console.print_text(app::usage_text);
        console.print_newline();
        return 1;
    }
    return app::run_sequence(console, arguments[0].c_str());
}
