// Reading what the archive records of links.
#include "archive/item_links.h"

#include <map>
#include <string>

#include "archive/archive_file.h"
#include "archive/prop_variant.h"

namespace {

// Unix mode bits as archives store them.
constexpr UInt32 kUnixTypeMask = 0170000;
constexpr UInt32 kUnixSymbolicLink = 0120000;
// Windows attributes with this bit carry the Unix mode in their high 16 bits.
constexpr UInt32 kUnixExtension = 0x8000;

// A four-byte property; false when the item has none.
bool ReadWord(IInArchive* archive, UInt32 index, PROPID property, UInt32& word)
{
    CPropVariant value;
    if (archive->GetProperty(index, property, &value) != S_OK || value.vt != VT_UI4)
        return false;
    word = value.ulVal;
    return true;
}

// Whether the item's Unix mode, where the archive records one, is a symbolic link's.
bool ModeSaysSymbolicLink(IInArchive* archive, UInt32 index)
{
    UInt32 mode = 0;
    if (ReadWord(archive, index, item_property::posix_attributes, mode))
        return (mode & kUnixTypeMask) == kUnixSymbolicLink;
    UInt32 attributes = 0;
    if (ReadWord(archive, index, item_property::attributes, attributes) && (attributes & kUnixExtension))
        return ((attributes >> 16) & kUnixTypeMask) == kUnixSymbolicLink;
    return false;
}

}  // namespace

void ReadItemLink(IInArchive* archive, UInt32 index, archive::item_details& details)
{
    using archive::link_kind;
    if (details.is_folder)
        return;
    if (std::string target = ReadItemText(archive, index, item_property::hard_link); !target.empty()) {
        details.link = link_kind::hard;
        details.link_target = std::move(target);
    } else if (std::string target = ReadItemText(archive, index, item_property::symbolic_link); !target.empty()) {
        details.link = link_kind::symbolic;
        details.link_target = std::move(target);
    } else if (ModeSaysSymbolicLink(archive, index)) {
        details.link = link_kind::symbolic;
    }
}

namespace archive {
namespace {

// Collects each link's data, up to the limit; what ends otherwise than well is
// no target.
class target_collector : public items_sink, private item_sink {
public:
    explicit target_collector(std::vector<item_details>& details) : details_(details) {}

    item_sink* begin_item(std::uint32_t index) override
    {
        current_ = &targets_[index];
        return this;
    }

    void end_item(std::uint32_t index, item_status status) override
    {
        if (status == item_status::ok && !targets_[index].empty() && targets_[index].size() <= stored_link_target_limit)
            details_[index].link_target = std::move(targets_[index]);
        targets_.erase(index);
        current_ = nullptr;
    }

    bool wanted() override { return true; }

private:
    bool write(const char* data, std::size_t size) override
    {
        if (current_ && current_->size() <= stored_link_target_limit)
            current_->append(data, std::min<std::size_t>(size, stored_link_target_limit + 1 - current_->size()));
        return true;
    }

    std::vector<item_details>& details_;
    std::map<std::uint32_t, std::string> targets_;
    std::string* current_ = nullptr;
};

}  // namespace

void read_stored_link_targets(archive_file& archive, std::vector<item_details>& details)
{
    std::vector<std::uint32_t> stored;
    for (std::uint32_t index = 0; index < details.size(); ++index) {
        const item_details& item = details[index];
        if (item.link == link_kind::symbolic && item.link_target.empty() && item.has_size && item.size > 0 &&
            item.size <= stored_link_target_limit && item.has_packed_size &&
            item.packed_size <= stored_link_target_limit)
            stored.push_back(index);
    }
    if (stored.empty())
        return;
    target_collector collector(details);
    archive.extract_items(stored, collector);
    for (const std::uint32_t index : stored)
        if (details[index].link_target.empty())
            details[index].link = link_kind::none;
}

}  // namespace archive
