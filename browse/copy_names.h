// The names under which the other copies of a path shared by several items are
// listed beside it: "report (copy 1 of 3).txt". The mark goes before the
// extension, so that a copy keeps its media type and opens as the plain one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace browse {

// The name of copy `copy` of `copies` (counted from 1, in the order the archive
// holds them) of the item named `name`. `attempt` 0 gives the name itself;
// 1, 2... give "report (copy 1 of 3) (2).txt", "... (3).txt" and so on, the
// names to try in turn when the ones before are taken.
std::string copy_name(std::string_view name, std::size_t copy, std::size_t copies, std::size_t attempt);

}  // namespace browse
