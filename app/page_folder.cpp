// The page folder lookup, on the executable's path and file checks from platform/.
#include "app/page_folder.h"

#include <utility>

#include "platform/directory.h"
#include "platform/module_path.h"

namespace app {
namespace {

constexpr const char working_directory_folder[] = "HTML/";

// The folder that holds `folder` (both end in '/'); the root holds itself.
std::string parent_of(const std::string& folder)
{
    if (folder.size() < 2)
        return folder;
    const std::size_t slash = folder.rfind('/', folder.size() - 2);
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

}  // namespace

page_folder_choice choose_page_folder(const std::string& program_folder,
                                      const std::function<bool(const std::string& folder)>& counts)
{
    if (counts(working_directory_folder))
        return {working_directory_folder, page_place::working_directory};
    if (!program_folder.empty()) {
        const std::string above = parent_of(program_folder);
        const std::pair<std::string, page_place> candidates[] = {
            {above + "share/vorsel/HTML/", page_place::installed},
            {program_folder + "HTML/", page_place::beside_program},
            {above + "HTML/", page_place::source_tree},
        };
        for (const auto& [folder, place] : candidates) {
            if (counts(folder))
                return {folder, place};
        }
    }
    return {working_directory_folder, page_place::nowhere};
}

page_folder_choice find_page_folder()
{
    return choose_page_folder(platform::module_folder_prefix(), [](const std::string& folder) {
        bool is_directory = false;
        return platform::find_file((folder + "index.html").c_str(), is_directory) && !is_directory;
    });
}

}  // namespace app
