// Where the viewer's page files come from. The program runs from anywhere: the
// working directory's HTML/ comes first (a page of one's own wins), then the
// page installed with the program, then the page of the source tree that a
// build folder sits in.
#pragma once

#include <functional>
#include <string>

namespace app {

// The place a page folder was found in, in the order they are tried.
enum class page_place {
    working_directory,  // HTML/ under the working directory
    installed,          // PREFIX/share/vorsel/HTML/ for PREFIX/bin/vorsel
    beside_program,     // HTML/ in the executable's own folder
    source_tree,        // HTML/ in the folder above it: SOURCE/HTML/ for SOURCE/build/vorsel
    nowhere,            // no folder counts; "HTML/" under the working directory all the same
};

struct page_folder_choice {
    std::string folder;  // ends in '/'
    page_place place;
};

// The first folder, in the order of page_place, for which `counts(folder)` is
// true. `program_folder` is the executable's folder ending in '/'; when it is
// empty (unknown) only the working directory is tried.
page_folder_choice choose_page_folder(const std::string& program_folder,
                                      const std::function<bool(const std::string& folder)>& counts);

// The choice for the running program: a folder counts when it holds index.html.
page_folder_choice find_page_folder();

}  // namespace app
