// Decoding a list of items in passes that go on past where one stopped.
#include "browse/item_walk.h"

namespace browse {

void item_walk::decode(archive::archive_file& archive, const std::vector<std::uint32_t>& indices,
                       const item_password& password)
{
    std::vector<std::uint32_t> left = indices;
    while (!left.empty() && !stopped()) {
        archive.extract_items(left, *this, password);
        // A pass that the library ended early goes on after the item it ended in.
        std::vector<std::uint32_t> rest;
        bool passed_first_left = false;
        for (const std::uint32_t index : left) {
            if (ended(index))
                continue;
            if (!passed_first_left) {
                passed_first_left = true;
                skip(index);  // where the pass stopped: it cannot be decoded
                continue;
            }
            rest.push_back(index);
        }
        left = std::move(rest);
    }
}

}  // namespace browse
